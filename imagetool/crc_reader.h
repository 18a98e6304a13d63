// The image tool's catalog: the .crc file. Its first line is free text;
// a header follows up to the first line that begins with "-"; then come
// record lines, as the tool's dump mode writes them, up to the next such
// line or the end of the file:
//   name  size  width x height  crc
// with decimal numbers and a hexadecimal CRC-32, fields separated by runs
// of spaces (a tab is part of the field it stands in).
#ifndef IMAGETOOL_CRC_READER_H_
#define IMAGETOOL_CRC_READER_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/run.h"

// One catalogued picture. Only `crc` and `name` take part in placing a
// file; size and pixel size are kept as the catalog lists them.
struct ImageEntry {
  static constexpr size_t kNameWidth = 50;  // longer names are cut
  uint32_t size;         // file size in bytes
  uint32_t crc;          // the lookup key
  uint32_t nameAt;       // the catalogued name, in the catalog's pool
  uint16_t width;        // low 16 bits of the listed width
  uint16_t height;       // low 16 bits of the listed height
  uint8_t nameLength;
  unsigned char taken;   // set once a file has been placed under this entry
};

// Reads `run.systemName` followed by ".crc", opened with `run.open`, into
// the catalog of ImageEntry. Once the first line has been read, builds
// the pattern list "*.jpg" (without echo) when none exists yet. Record
// lines without any field, and those with fewer than six fields, are
// skipped. Returns the number of entries appended; 0 when the file cannot
// be opened, is empty, has no separator line after its first line, or
// holds no record; 0, with the reason in `*said`, when a read fails or the
// memory for the catalog runs out.
uint32_t LoadImageCatalog(const RunState& run, std::string* said);

// One record line of the .crc layout: "%-12s  %9u  %4u x %4u  %0x\n" with
// the name, size, width, height and CRC-32 (hexadecimal without leading
// zeros).
std::string FormatRecordLine(const char* name, uint32_t size, unsigned width,
                             unsigned height, uint32_t crc);

// Writes each entry that no file took to standard output as a catalog of
// the .crc layout: the title "Missing from <system name>.crc", a line of
// dashes, one record line per entry in load order (as dump mode writes
// them, with the size and pixel size the catalog gave), and a closing line
// of dashes. Returns how many entries a file took, their number in `total`.
uint32_t WriteMissingImages(const RunState& run, uint32_t* total);

#endif  // IMAGETOOL_CRC_READER_H_
