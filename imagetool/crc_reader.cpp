#include "imagetool/crc_reader.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "core/catalog.h"
#include "core/file_load.h"
#include "core/output.h"
#include "core/patterns.h"
#include "core/platform.h"
#include "core/run.h"
#include "core/text.h"

namespace {

// Lines are read in pieces of at most 999 bytes; the rest of a longer line
// comes back as a line of its own.
const int kLineBuffer = 1000;
const int kRecordFields = 6;

// Tabs are deliberately not separators: a dump line never holds one, and
// a name may.
const char kRecordSeparators[] = " \r\n";

// Only the very first byte decides: " ----" is a record, not a separator.
bool IsSeparatorLine(const char* line) { return line[0] == '-'; }

// Fills `entry` from a record line. A line with fewer than six fields
// yields no entry: its numbers would be guesses, and a wrong CRC-32 could
// send a picture to the wrong name.
bool ParseRecord(char* line, ImageEntry* entry, const char** name) {
  char* fields[kRecordFields];
  if (SplitFields(line, kRecordSeparators, fields, kRecordFields) <
      kRecordFields) {
    return false;
  }
  entry->taken = 0;
  *name = fields[0];
  entry->size = ParseUnsigned32(fields[1], 10);
  // Pixel sizes keep their low 16 bits, whatever the line says.
  entry->width = static_cast<uint16_t>(ParseUnsigned32(fields[2], 10));
  // fields[3] is the "x" between width and height.
  entry->height = static_cast<uint16_t>(ParseUnsigned32(fields[4], 10));
  entry->crc = ParseUnsigned32(fields[5], 16);
  return true;
}

// Reads up to and including the first separator line. Returns false when
// the file ends first.
bool SkipHeader(std::FILE* stream, char* line) {
  while (std::fgets(line, kLineBuffer, stream) != nullptr) {
    if (IsSeparatorLine(line)) return true;
  }
  return false;
}

// Appends one entry per record line up to the next separator line or the
// end of the file. Returns the number appended, or 0 after a message when
// the memory runs out.
uint32_t ReadRecords(std::FILE* stream, char* line, const std::string& fileName) {
  while (std::fgets(line, kLineBuffer, stream) != nullptr) {
    if (IsSeparatorLine(line)) break;
    ImageEntry entry = {};
    const char* name = nullptr;
    if (!ParseRecord(line, &entry, &name)) continue;
    if (!CatalogAppend(entry, name, std::strlen(name))) {
      return CatalogRefuseForMemory<ImageEntry>(fileName);
    }
  }
  return CatalogFinishLoad<ImageEntry>(fileName);
}

}  // namespace

uint32_t LoadImageCatalog(const char* systemName) {
  KeepSystemName(systemName);
  std::string fileName = std::string(systemName) + ".crc";
  OwnedStream stream(PlatformOpenForReading(fileName.c_str(), true));
  if (!stream) return 0;
  char line[kLineBuffer];
  // The first line is a title; not even a leading "-" makes it special.
  if (std::fgets(line, kLineBuffer, stream.get()) == nullptr) return 0;
  if (!PatternListExists()) {
    char pictures[] = "*.jpg";
    BuildPatternList(pictures, false);
  }
  if (!SkipHeader(stream.get(), line)) return 0;
  return ReadRecords(stream.get(), line, fileName);
}

std::string FormatRecordLine(const char* name, uint32_t size, unsigned width,
                             unsigned height, uint32_t crc) {
  return Format("%-12s  %9u  %4u x %4u  %0x\n", name, size, width, height, crc);
}

uint32_t WriteMissingImages(const char* systemName, uint32_t* total) {
  const char kDashes[] = "---------------------------------------------\n";
  *total = CatalogSize<ImageEntry>();
  std::printf("Missing from %s.crc\n%s", systemName, kDashes);
  uint32_t found = CatalogForEachMissing<ImageEntry>([](const ImageEntry& entry) {
    std::fputs(FormatRecordLine(CatalogEntryName(entry).c_str(), entry.size,
                                entry.width, entry.height, entry.crc).c_str(),
               stdout);
  });
  std::fputs(kDashes, stdout);
  return found;
}
