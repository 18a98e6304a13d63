// The ROM tool's catalog: the .dat file, in the tool's own dump layout (a
// pattern line, then "%08x %s" lines) or in the sectioned layout whose
// records follow "[GAMES]" and hold fields separated by the byte 0xAC.
#ifndef ROMTOOL_DAT_READER_H_
#define ROMTOOL_DAT_READER_H_

#include <cstdint>

// One catalogued ROM image.
struct RomEntry {
  unsigned char taken;  // set once a file has been placed under this entry
  uint32_t crc;         // the lookup key
  char name[100];       // the catalogued name; no terminator when full
};

// Reads `systemName` followed by ".dat" from the current directory into
// the catalog of RomEntry, keeps a copy of `systemName` as the target
// folder, and builds the pattern list from the file when none exists yet
// (echoing it). Returns the number of entries appended; 0 when the file
// cannot be opened, is empty, or holds no record.
uint32_t LoadRomCatalog(const char* systemName);

#endif  // ROMTOOL_DAT_READER_H_
