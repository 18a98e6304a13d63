// The ROM tool's .dat reader on any bytes, and the pattern list it builds
// from a catalog's first line, tried as wildcards the way a walk uses them.
#include "core/catalog.h"
#include "core/patterns.h"
#include "core/run.h"
#include "core/wildcard.h"
#include "fuzz/fuzz_support.h"
#include "romtool/dat_reader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string said;
  uint32_t count = LoadRomCatalog(RunOnBytes(data, size), &said);
  FUZZ_CHECK(count == CatalogSize<RomEntry>());
  // An empty file builds no list, nor does UTF-16 text that is refused
  // (said so); anything else always does.
  bool refusedText = said.find("is UTF-16 text") != std::string::npos;
  FUZZ_CHECK(PatternListExists() == (size > 0 && !refusedText));
  // Each entry is the first of its CRC-32 that the index finds, or a later one.
  for (uint32_t i = 0; i < count; ++i) {
    const RomEntry* entry = CatalogEntry<RomEntry>(i);
    const RomEntry* first = CatalogFindByCrc<RomEntry>(entry->crc);
    FUZZ_CHECK(entry->taken == 0 && first != nullptr && first->crc == entry->crc && first <= entry);
  }
  for (const std::string& pattern : PatternListEntries()) {
    // A pattern is a run of characters that are no spaces or line ends.
    FUZZ_CHECK(!pattern.empty() && pattern.find_first_of(" \t\n\v\f\r") == std::string::npos);
    WildcardMatches(pattern.c_str(), (std::string(200, 'a') + "\xC3\xA9.a26").c_str(), true);
  }
  PatternListAccepts(".a26");
  CatalogRelease<RomEntry>();
  FreePatternList();
  return 0;
}
