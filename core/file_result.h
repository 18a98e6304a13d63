// What identifying one file gives, handed from the thread that identified
// it to the one that writes its output and places it.
#ifndef CORE_FILE_RESULT_H_
#define CORE_FILE_RESULT_H_

#include <cstdint>
#include <string>

#include "core/output.h"
#include "core/platform.h"

// The CRC-32s that rename mode looks a file up by, first to last: the
// first that the catalog lists decides which entry the file takes.
struct CrcLookups {
  static constexpr int kMost = 3;
  uint32_t crc[kMost] = {};
  int count = 0;
};

// Adds `crc` to the end of `lookups`, unless it is 0 (which identifies
// nothing), already there, or there is no room.
inline void AddCrcLookup(CrcLookups* lookups, uint32_t crc) {
  if (crc == 0 || lookups->count == CrcLookups::kMost) return;
  for (int i = 0; i < lookups->count; ++i) {
    if (lookups->crc[i] == crc) return;
  }
  lookups->crc[lookups->count++] = crc;
}

// What identifying one file gives. The thread that runs the program then
// writes its messages, and its dump line or places the file.
struct FileResult {
  MessageLog messages;   // what reading the file said, in order
  std::string name;      // the name the listing gave
  std::string path;      // the file's whole path
  FileIdentity identity; // what file was read, when one was
  uint32_t crc = 0;      // what a dump lists; 0: nothing to list
  std::string dumpLine;  // the line of the file, in dump mode only
  // Rename mode: what to look the file up by. Left empty, the file is
  // looked up by `crc` alone.
  CrcLookups lookups;
  bool archive = false;  // identified through a member, and moved whole
};

#endif  // CORE_FILE_RESULT_H_
