#include "romtool/dat_reader.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "core/catalog.h"
#include "core/file_load.h"
#include "core/patterns.h"
#include "core/platform.h"
#include "core/run.h"
#include "core/text.h"

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
  uint32_t count = 0;
  while (std::fgets(line, kLineBuffer, stream) != nullptr) {
    RomEntry entry = {};
    const char* name = nullptr;
    if (!ParseRecord(line, &entry, &name)) continue;
    if (!CatalogAppend(entry, name, std::strlen(name))) return ReportNoMemory(fileName);
    ++count;
  }
  return count > 0 && !CatalogBuildIndex<RomEntry>() ? ReportNoMemory(fileName) : count;
}

// Handles line 1. A sectioned file is read up to its "[GAMES]" line.
void ReadHeader(char* line, std::FILE* stream) {
  if (line[0] == '[') {
    if (!PatternListExists()) {
      char everything[] = "*.*";
      BuildPatternList(everything, true);
    }
    TrimLineEnd(line);
    while (std::strcmp(line, "[GAMES]") != 0) {
      if (std::fgets(line, kLineBuffer, stream) == nullptr) return;
      TrimLineEnd(line);
    }
  } else if (!PatternListExists()) {
    BuildPatternList(line, true);
  }
}

}  // namespace

uint32_t LoadRomCatalog(const char* systemName) {
  KeepSystemName(systemName);
  std::string fileName = std::string(systemName) + ".dat";
  OwnedStream stream(PlatformOpenForReading(fileName.c_str(), true));
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
