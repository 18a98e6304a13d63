#include "imagetool/crc_reader.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <new>
#include <string>

#include "core/catalog.h"
#include "core/read_source.h"
#include "core/output.h"
#include "core/patterns.h"
#include "core/placement.h"
#include "core/platform.h"
#include "core/run.h"
#include "core/text.h"

namespace {

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
bool SkipHeader(TextLines* lines) {
  while (NextLine(lines)) {
    if (IsSeparatorLine(lines->line)) return true;
  }
  return false;
}

// Appends one entry per record line up to the next separator line or the
// end of the file. Returns the number appended; 0, with what went wrong in
// `*said`, when the memory runs out or a read fails.
uint32_t ReadRecords(TextLines* lines, const std::string& fileName, std::string* said) {
  while (NextLine(lines)) {
    if (IsSeparatorLine(lines->line)) break;
    ImageEntry entry = {};
    const char* name = nullptr;
    if (!ParseRecord(lines->line, &entry, &name)) continue;
    std::string spelled = PlatformNameFromCatalogBytes(name);
    if (!CatalogAppend(entry, spelled.c_str(), spelled.size())) {
      return CatalogRefuseForMemory<ImageEntry>(fileName, said);
    }
  }
  if (lines->bytes.failed) {
    return CatalogRefuseUnread<ImageEntry>(fileName, lines->bytes.error, said);
  }
  return CatalogFinishLoad<ImageEntry>(fileName, said);
}

// The first line is a title; not even a leading "-" makes it special.
// Builds the pattern list "*.jpg" when none exists yet.
uint32_t ReadCatalog(TextLines* lines, const std::string& fileName, std::string* said) {
  if (!NextLine(lines)) {
    if (!lines->bytes.failed) return 0;
    return CatalogRefuseUnread<ImageEntry>(fileName, lines->bytes.error, said);
  }
  if (!PatternListExists()) {
    char pictures[] = "*.jpg";
    BuildPatternList(pictures, false);
  }
  if (!SkipHeader(lines)) {
    if (!lines->bytes.failed) return 0;
    return CatalogRefuseUnread<ImageEntry>(fileName, lines->bytes.error, said);
  }
  return ReadRecords(lines, fileName, said);
}

}  // namespace

uint32_t LoadImageCatalog(const RunState& run, std::string* said) {
  std::string fileName = run.systemName + ".crc";
  std::string error;
  SourcePtr source = run.open(fileName, &error);
  if (!source) return CatalogRefuseUnopened<ImageEntry>(fileName, error, said);
  std::unique_ptr<TextLines> lines(new (std::nothrow) TextLines);
  if (!lines || !TextLinesStart(lines.get(), source.get())) {
    return CatalogRefuseForMemory<ImageEntry>(fileName, said);
  }
  return ReadCatalog(lines.get(), fileName, said);
}

std::string FormatRecordLine(const char* name, uint32_t size, unsigned width,
                             unsigned height, uint32_t crc) {
  return Format("%-12s  %9u  %4u x %4u  %0x\n", name, size, width, height, crc);
}

uint32_t WriteMissingImages(const RunState& run, uint32_t* total) {
  const char kDashes[] = "---------------------------------------------\n";
  *total = CatalogSize<ImageEntry>();
  std::printf("Missing from %s.crc\n%s", run.systemName.c_str(), kDashes);
  std::set<std::string> placed = ListPlacedNames(run.placement, run.directory);
  auto isPlaced = [&placed](const ImageEntry& entry) {
    return HoldsPlacedName(placed, CatalogEntryName(entry));
  };
  uint32_t found = CatalogForEachMissing<ImageEntry>(isPlaced, [](const ImageEntry& entry) {
    std::string name = CatalogEntryName(entry);
    if (HasControlCharacter(name)) {
      std::fprintf(stderr, "\nErr: Passed over a name with control characters %s\n",
                   Printable(name).c_str());
      return;
    }
    // A line that starts with "-" ends the records: a space before the
    // name keeps it a record, as the reader skips it.
    if (name[0] == '-') name.insert(0, " ");
    std::fputs(FormatRecordLine(name.c_str(), entry.size, entry.width, entry.height, entry.crc).c_str(),
               stdout);
  });
  std::fputs(kDashes, stdout);
  return found;
}
