// The ROM tool's .dat reader on any bytes, and the pattern list it builds
// from a catalog's first line. The reader opens "<name>.dat" in the
// current directory, so the process works in a private folder.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/catalog.h"
#include "core/patterns.h"
#include "core/run.h"
#include "core/wildcard.h"
#include "fuzz/fuzz_support.h"
#include "romtool/dat_reader.h"

namespace {

// Every pattern is a non-empty run of characters that are neither spaces
// nor line-end controls, whatever the line held. Each is also tried as a
// wildcard on a long name, as the directory walk would.
void CheckPatterns() {
  static const std::string kLongName = std::string(200, 'a') + ".a26";
  for (const std::string& pattern : PatternListEntries()) {
    FUZZ_CHECK(!pattern.empty());
    for (unsigned char c : pattern) {
      FUZZ_CHECK(c != ' ' && c != '\0' && (c < 9 || c > 13));
    }
    WildcardMatches(pattern.c_str(), "Game (USA).a26");
    WildcardMatches(pattern.c_str(), kLongName.c_str());
  }
  PatternListAccepts(".a26");
  PatternListAccepts(".ZIP");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SilenceStandardOutput();
  FUZZ_CHECK(chdir(FuzzScratchDir().c_str()) == 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FUZZ_CHECK(WriteWholeFile("fuzz.dat", data, size));
  uint32_t count = LoadRomCatalog("fuzz");
  FUZZ_CHECK(count == CatalogSize<RomEntry>());
  FUZZ_CHECK(KeptSystemName() != nullptr &&
             std::strcmp(KeptSystemName(), "fuzz") == 0);
  // An empty file builds no list; anything else always does.
  FUZZ_CHECK(PatternListExists() == (size > 0));
  const RomEntry* entries = g_catalog<RomEntry>.entries;
  for (uint32_t i = 0; i < count; ++i) {
    FUZZ_CHECK(entries[i].taken == 0);
    FUZZ_CHECK(CatalogName(entries[i].name).size() <= sizeof entries[i].name);
  }
  CheckPatterns();
  CatalogRelease<RomEntry>();
  FreePatternList();
  FreeKeptSystemName();
  return 0;
}
