#include "romtool/dat_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <new>
#include <string>

#include "core/catalog.h"
#include "core/paths.h"
#include "core/read_source.h"
#include "core/patterns.h"
#include "core/placement.h"
#include "core/platform.h"
#include "core/run.h"
#include "core/text.h"
#include "romtool/archive_reader.h"
#include "romtool/cmp_catalog.h"
#include "romtool/xml_catalog.h"

namespace {

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
// the number appended; 0, with what went wrong in `*said`, when the memory
// runs out or a read fails.
uint32_t ReadRecords(TextLines* lines, const std::string& fileName, std::string* said) {
  while (NextLine(lines)) {
    RomEntry entry = {};
    const char* name = nullptr;
    if (!ParseRecord(lines->line, &entry, &name)) continue;
    std::string spelled = PlatformNameFromCatalogBytes(name);
    size_t length = CutToCharacters(spelled.c_str(), spelled.size(), RomEntry::kLineNameWidth,
                                    PlatformNamesAreUtf8() != 0);
    if (!CatalogAppend(entry, spelled.c_str(), length)) {
      return CatalogRefuseForMemory<RomEntry>(fileName, said);
    }
  }
  if (lines->bytes.failed) {
    return CatalogRefuseUnread<RomEntry>(fileName, lines->bytes.error, said);
  }
  return CatalogFinishLoad<RomEntry>(fileName, said);
}

// The layouts whose records name no patterns look at every file.
void ListEveryFile() {
  if (PatternListExists()) return;
  char everything[] = "*.*";
  BuildPatternList(everything, true);
}

// Handles line 1, in `lines->line`. A sectioned file is read up to its
// "[GAMES]" line.
void ReadHeader(TextLines* lines) {
  char* line = lines->line;
  if (line[0] == '[') {
    ListEveryFile();
    TrimLineEnd(line);
    while (std::strcmp(line, "[GAMES]") != 0) {
      if (!NextLine(lines)) return;
      TrimLineEnd(line);
    }
  } else if (!PatternListExists()) {
    BuildPatternList(line, true);
  }
}

// The layouts that the start of a catalog tells apart.
enum CatalogLayout { kLineLayout, kXmlLayout, kClrMameProLayout, kUtf16Text };

// Whether the next bytes of `bytes` are those of `text`.
bool Follows(ByteReader* bytes, const char* text) {
  for (; *text != '\0'; ++text) {
    if (TakeByte(bytes) != static_cast<unsigned char>(*text)) return false;
  }
  return true;
}

// Takes a UTF-8 byte order mark (only at the start) and white space;
// returns the first other byte, taken, or EOF.
int FirstSignificantByte(ByteReader* bytes, bool atStart) {
  int c = TakeByte(bytes);
  if (atStart && c == 0xEF) c = Follows(bytes, "\xBB\xBF") ? TakeByte(bytes) : -1;
  while (c == ' ' || c == '\t' || c == '\r' || c == '\n') c = TakeByte(bytes);
  return c;
}

bool IsWordByte(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Whether the stream, past the first letter `c` of a word, holds the rest
// of the word and then "(": how a ClrMamePro file starts, with whichever
// block. The line layouts never start so: a pattern line starts with a
// wildcard or a name, and holds no parenthesis after its first word.
bool StartsWithBlock(ByteReader* bytes, int c) {
  if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
  while (IsWordByte(c)) c = TakeByte(bytes);
  while (c == ' ' || c == '\t' || c == '\r' || c == '\n') c = TakeByte(bytes);
  return c == '(';
}

// The first significant byte, past lines that start with "#" (the
// comments of ClrMamePro files), or EOF. Sets `comments` when it passed
// any.
int FirstByteAfterComments(ByteReader* bytes, bool* comments) {
  int c = FirstSignificantByte(bytes, true);
  while (c == '#') {
    *comments = true;
    while (c >= 0 && c != '\n') c = TakeByte(bytes);
    c = FirstSignificantByte(bytes, false);
  }
  return c;
}

// After a UTF-16 byte order mark (`bigEndian` or not), the layout by the
// first character that is no white space: XML, which expat reads in
// UTF-16, or text that no other layout is read in.
int SniffUtf16(ByteReader* bytes, bool bigEndian) {
  for (;;) {
    int first = TakeByte(bytes), second = TakeByte(bytes);
    if (first < 0 || second < 0) return kUtf16Text;
    int unit = bigEndian ? (first << 8 | second) : (second << 8 | first);
    if (unit != ' ' && unit != '\t' && unit != '\r' && unit != '\n') return unit == '<' ? kXmlLayout : kUtf16Text;
  }
}

// The layout of the catalog read by `bytes`, from its start, by its first
// significant bytes: "<?xml" or "<datafile", or a word before a "(".
int SniffLayout(ByteReader* bytes) {
  if (PeekByte(bytes) == 0xFF || PeekByte(bytes) == 0xFE) {
    int first = TakeByte(bytes), second = PeekByte(bytes);
    if ((first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF)) {
      TakeByte(bytes);
      return SniffUtf16(bytes, first == 0xFE);
    }
    return kLineLayout;
  }
  bool comments = false;
  int c = FirstByteAfterComments(bytes, &comments);
  if (c == '<' && !comments) {
    c = TakeByte(bytes);
    if ((c == '?' && Follows(bytes, "xml")) || (c == 'd' && Follows(bytes, "atafile"))) {
      return kXmlLayout;
    }
  } else if (StartsWithBlock(bytes, c)) {
    return kClrMameProLayout;
  }
  return kLineLayout;
}

// Reads the line layouts from the start of `source`.
uint32_t LoadLineCatalog(ReadSource* source, const std::string& fileName, std::string* said) {
  std::unique_ptr<TextLines> lines(new (std::nothrow) TextLines);
  if (!lines || !TextLinesStart(lines.get(), source)) {
    return CatalogRefuseForMemory<RomEntry>(fileName, said);
  }
  if (NextLine(lines.get())) ReadHeader(lines.get());
  if (lines->bytes.failed) {
    return CatalogRefuseUnread<RomEntry>(fileName, lines->bytes.error, said);
  }
  return ReadRecords(lines.get(), fileName, said);
}

}  // namespace

uint32_t LoadRomCatalog(const RunState& run, std::string* said) {
  std::string fileName = run.systemName + ".dat";
  std::string error;
  SourcePtr source = run.open(fileName, &error);
  if (!source) return CatalogRefuseUnopened<RomEntry>(fileName, error, said);
  std::unique_ptr<ByteReader> start(new (std::nothrow) ByteReader);
  if (!start || !ByteReaderStart(start.get(), source.get())) {
    return CatalogRefuseForMemory<RomEntry>(fileName, said);
  }
  int layout = SniffLayout(start.get());
  if (start->failed) return CatalogRefuseUnread<RomEntry>(fileName, start->error, said);
  start.reset();
  if (layout == kXmlLayout || layout == kClrMameProLayout) ListEveryFile();
  if (layout == kXmlLayout) return LoadXmlCatalog(source.get(), fileName, said);
  if (layout == kClrMameProLayout) return LoadCmpCatalog(source.get(), fileName, said);
  if (layout == kUtf16Text) {
    *said += "\nErr: Catalog " + Printable(fileName) + " is UTF-16 text, which is read only as XML\n";
    return 0;
  }
  return LoadLineCatalog(source.get(), fileName, said);
}

uint32_t WriteMissingRoms(const RunState& run, uint32_t* total) {
  *total = CatalogSize<RomEntry>();
  std::set<std::string> placed = ListPlacedNames(run.placement, run.directory);
  auto isPlaced = [&placed](const RomEntry& entry) {
    return HoldsPlacedName(placed, CatalogEntryName(entry)) ||
           HoldsPlacedName(placed, CatalogText<RomEntry>(entry.gameAt, entry.gameLength));
  };
  return CatalogForEachMissing<RomEntry>(isPlaced, [](const RomEntry& entry) {
    std::string name = CatalogEntryName(entry);
    // Written, a line end would make a line of its own, and other codes
    // would drive the terminal.
    if (HasControlCharacter(name)) {
      std::fprintf(stderr, "\nErr: Passed over a name with control characters %s\n",
                   Printable(name).c_str());
    } else {
      std::printf("%08x %s\n", entry.crc, name.c_str());
    }
  });
}

void PlaceRomFile(Placement* placement, const FileResult& result) {
  for (int i = 0; i < result.lookups.count; ++i) {
    RomEntry* entry = CatalogFindByCrc<RomEntry>(result.lookups.crc[i]);
    if (entry == nullptr) continue;
    std::string name = CatalogEntryName(*entry);
    if (!entry->asCatalogued) {
      return PlaceCatalogMatch(placement, result.path, result.identity, &entry->taken, name);
    }
    if (result.archive) {
      // An archive holds a game: it takes the game's name (its rom's where
      // the game has none that this system can spell).
      std::string game = CatalogText<RomEntry>(entry->gameAt, entry->gameLength);
      name = (game.empty() ? name : game) + ArchiveEnding(result.path);
    }
    return PlaceCatalogMatch(placement, result.path, result.identity, &entry->taken, name, false);
  }
  ++placement->unmatched;
}
