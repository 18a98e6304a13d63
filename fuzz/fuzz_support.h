// What the fuzz targets share: a run whose files are the fuzz input, a
// scratch folder of the process's own for what must touch a disk, and a
// check that stops the process (which libFuzzer reports as a crash, with
// the input that caused it).
#ifndef FUZZ_FUZZ_SUPPORT_H_
#define FUZZ_FUZZ_SUPPORT_H_

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "core/catalog.h"
#include "core/patterns.h"
#include "core/run.h"

#define FUZZ_CHECK(condition) \
  ((condition) ? (void)0 : (std::fprintf(stderr, "failed: %s\n", #condition), std::abort()))

// Made on first use (in /dev/shm where it can be written), removed at exit.
// Its name is new: a process that crashed leaves its folder behind, and a
// later process may get the same number.
inline const std::string& FuzzScratchDir() {
  // Never destroyed, so that it outlives the removal at exit.
  static const std::string* scratch = [] {
    namespace fs = std::filesystem;
    fs::path base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : fs::temp_directory_path();
    std::string* made = new std::string((base / "sorters-fuzz-XXXXXX").string());
    FUZZ_CHECK(mkdtemp(&(*made)[0]) != nullptr);
    std::atexit([] { fs::remove_all(FuzzScratchDir()); });
    return made;
  }();
  return *scratch;
}

// A run of the system "fuzz" in which every file opened holds the `size`
// bytes of `data`.
inline RunState RunOnBytes(const uint8_t* data, size_t size) {
  RunState run;
  run.systemName = "fuzz";
  std::string bytes(reinterpret_cast<const char*>(data), size);
  run.open = [bytes](const std::string&, std::string*) { return MemorySource(bytes); };
  return run;
}

// Replaces the file `path` by the `size` bytes of `data`.
inline void WriteWholeFile(const std::string& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  FUZZ_CHECK(out.write(static_cast<const char*>(data), std::streamsize(size)));
}

// Checks what a catalog load of `size` bytes of input gave: `count` is the
// catalog's size, and the names kept add up to no more than the input
// held, so that no text was made up (as entity expansion would). Then
// empties the catalog.
template <class Entry>
void CheckLoadedCatalog(uint32_t count, size_t size) {
  // Entries may share a kept name (a rom named after its game): count each
  // kept name once.
  std::map<uint32_t, size_t> kept;
  for (uint32_t i = 0; i < count; ++i) {
    kept[CatalogEntry<Entry>(i)->nameAt] = CatalogEntry<Entry>(i)->nameLength;
  }
  size_t names = 0;
  for (const auto& name : kept) names += name.second;
  FUZZ_CHECK(count == CatalogSize<Entry>() && names <= size);
  CatalogRelease<Entry>();
  FreePatternList();
}

#endif  // FUZZ_FUZZ_SUPPORT_H_
