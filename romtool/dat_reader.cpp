#include "romtool/dat_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "core/catalog.h"
#include "core/file_load.h"
#include "core/patterns.h"
#include "core/placement.h"
#include "core/platform.h"
#include "core/run.h"
#include "core/text.h"
#include "romtool/cmp_catalog.h"
#include "romtool/xml_catalog.h"

namespace {

// Lines are read in pieces of at most 999 bytes; the rest of a longer line
// comes back as a line of its own.
const int kLineBuffer = 1000;
const unsigned char kFieldMark = 0xAC;  // the not sign of Windows-1252
// Fields of a sectioned record; a carriage return separates as well, so
// CR LF line ends leave no trace in the last field.
const char kFieldSeparators[] = "\xAC\r\n";

// A field record: name in field 2, CRC in field 6. Lines with fewer fields
// yield no entry.
bool ParseFieldRecord(char* line, RomEntry* entry, const char** name) {
  char* fields[6];
  if (SplitFields(line + 1, kFieldSeparators, fields, 6) < 6) return false;
  entry->crc = ParseUnsigned32(fields[5], 16);
  *name = fields[1];
  return true;
}

// A plain record: the CRC before the first space, the name after it.
bool ParsePlainRecord(char* line, RomEntry* entry, const char** name) {
  char* space = std::strchr(line, ' ');
  if (space == nullptr) return false;
  *space = '\0';
  TrimLineEnd(space + 1);
  entry->crc = ParseUnsigned32(line, 16);
  *name = space + 1;
  return true;
}

// Fills `entry` and points `name` at the record's name, inside `line`.
bool ParseRecord(char* line, RomEntry* entry, const char** name) {
  entry->taken = 0;
  if (static_cast<unsigned char>(line[0]) == kFieldMark) {
    return ParseFieldRecord(line, entry, name);
  }
  return ParsePlainRecord(line, entry, name);
}

// Appends one entry per record line up to the end of the file. Returns
// the number appended, or 0 after a message when the memory runs out.
uint32_t ReadRecords(std::FILE* stream, char* line, const std::string& fileName) {
  while (std::fgets(line, kLineBuffer, stream) != nullptr) {
    RomEntry entry = {};
    const char* name = nullptr;
    if (!ParseRecord(line, &entry, &name)) continue;
    size_t length = std::min(std::strlen(name), RomEntry::kLineNameWidth);
    if (!CatalogAppend(entry, name, length)) {
      return CatalogRefuseForMemory<RomEntry>(fileName);
    }
  }
  return CatalogFinishLoad<RomEntry>(fileName);
}

// The layouts whose records name no patterns look at every file.
void ListEveryFile() {
  if (PatternListExists()) return;
  char everything[] = "*.*";
  BuildPatternList(everything, true);
}

// Handles line 1. A sectioned file is read up to its "[GAMES]" line.
void ReadHeader(char* line, std::FILE* stream) {
  if (line[0] == '[') {
    ListEveryFile();
    TrimLineEnd(line);
    while (std::strcmp(line, "[GAMES]") != 0) {
      if (std::fgets(line, kLineBuffer, stream) == nullptr) return;
      TrimLineEnd(line);
    }
  } else if (!PatternListExists()) {
    BuildPatternList(line, true);
  }
}

// The layouts that the start of a catalog tells apart.
enum CatalogLayout { kLineLayout, kXmlLayout, kClrMameProLayout };

// Whether the next bytes of `stream` are those of `text`.
bool Follows(std::FILE* stream, const char* text) {
  for (; *text != '\0'; ++text) {
    if (std::getc(stream) != static_cast<unsigned char>(*text)) return false;
  }
  return true;
}

// Takes a UTF-8 byte order mark (only at the start) and white space;
// returns the first other byte, taken, or EOF.
int FirstSignificantByte(std::FILE* stream, bool atStart) {
  int c = std::getc(stream);
  if (atStart && c == 0xEF) c = Follows(stream, "\xBB\xBF") ? std::getc(stream) : EOF;
  while (c == ' ' || c == '\t' || c == '\r' || c == '\n') c = std::getc(stream);
  return c;
}

bool IsWordByte(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Whether the stream, past the first letter `c` of a word, holds the rest
// of the word and then "(": how a ClrMamePro file starts, with whichever
// block. The line layouts never start so: a pattern line starts with a
// wildcard or a name, and holds no parenthesis after its first word.
bool StartsWithBlock(std::FILE* stream, int c) {
  if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
  while (IsWordByte(c)) c = std::getc(stream);
  while (c == ' ' || c == '\t' || c == '\r' || c == '\n') c = std::getc(stream);
  return c == '(';
}

// The first significant byte, past lines that start with "#" (the
// comments of ClrMamePro files), or EOF. Sets `comments` when it passed
// any.
int FirstByteAfterComments(std::FILE* stream, bool* comments) {
  int c = FirstSignificantByte(stream, true);
  while (c == '#') {
    *comments = true;
    while (c != EOF && c != '\n') c = std::getc(stream);
    c = FirstSignificantByte(stream, false);
  }
  return c;
}

// The layout of the catalog open in `stream` by its first significant
// bytes: "<?xml" or "<datafile", or a word before a "(". Leaves the stream
// at its start again.
int SniffLayout(std::FILE* stream) {
  int layout = kLineLayout;
  bool comments = false;
  int c = FirstByteAfterComments(stream, &comments);
  if (c == '<' && !comments) {
    c = std::getc(stream);
    if ((c == '?' && Follows(stream, "xml")) || (c == 'd' && Follows(stream, "atafile"))) {
      layout = kXmlLayout;
    }
  } else if (StartsWithBlock(stream, c)) {
    layout = kClrMameProLayout;
  }
  std::rewind(stream);
  return layout;
}

}  // namespace

uint32_t LoadRomCatalog(const char* systemName) {
  KeepSystemName(systemName);
  std::string fileName = std::string(systemName) + ".dat";
  // Binary mode: the structured layouts count their own lines, and a byte
  // 0x1A must not end the file early on Windows.
  OwnedStream stream(PlatformOpenForReading(fileName.c_str(), false));
  if (!stream) return 0;
  int layout = SniffLayout(stream.get());
  if (layout != kLineLayout) ListEveryFile();
  if (layout == kXmlLayout) return LoadXmlCatalog(stream.get(), fileName);
  if (layout == kClrMameProLayout) return LoadCmpCatalog(stream.get(), fileName);
  // The line layouts are read in text mode, as they always were.
  stream.reset(PlatformOpenForReading(fileName.c_str(), true));
  if (!stream) return 0;
  char line[kLineBuffer];
  if (std::fgets(line, kLineBuffer, stream.get()) == nullptr) return 0;
  ReadHeader(line, stream.get());
  return ReadRecords(stream.get(), line, fileName);
}

uint32_t WriteMissingRoms(const char*, uint32_t* total) {
  *total = CatalogSize<RomEntry>();
  return CatalogForEachMissing<RomEntry>([](const RomEntry& entry) {
    std::printf("%08x %s\n", entry.crc, CatalogEntryName(entry).c_str());
  });
}

namespace {

// The extension of the archive at `path`: the text from the last "." of
// its name, or "" without one.
std::string ArchiveExtension(const std::string& path) {
  size_t nameStart = path.rfind(PlatformSeparator());
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (nameStart != std::string::npos && dot < nameStart)) return "";
  return path.substr(dot);
}

}  // namespace

void PlaceRomFile(const FileResult& result, int flags) {
  bool preview = (flags & RUN_PREVIEW) != 0;
  for (int i = 0; i < result.lookups.count; ++i) {
    RomEntry* entry = CatalogFindByCrc<RomEntry>(result.lookups.crc[i]);
    if (entry == nullptr) continue;
    std::string name = CatalogEntryName(*entry);
    if (!entry->asCatalogued) return PlaceCatalogMatch(result.path, &entry->taken, name, preview);
    if (result.archive) {
      // An archive holds a game: it takes the game's name (its rom's where
      // the game has none that this system can spell).
      std::string game = CatalogText<RomEntry>(entry->gameAt, entry->gameLength);
      name = (game.empty() ? name : game) + ArchiveExtension(result.path);
    }
    return PlaceCatalogMatch(result.path, &entry->taken, name, preview, false);
  }
}
