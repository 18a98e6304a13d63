// The image tool's .crc reader on any bytes. The reader opens
// "<name>.crc" in the current directory, so the process works in a
// private folder.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/catalog.h"
#include "core/patterns.h"
#include "core/run.h"
#include "fuzz/fuzz_support.h"
#include "imagetool/crc_reader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SilenceStandardOutput();
  FUZZ_CHECK(chdir(FuzzScratchDir().c_str()) == 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FUZZ_CHECK(WriteWholeFile("fuzz.crc", data, size));
  uint32_t count = LoadImageCatalog("fuzz");
  FUZZ_CHECK(count == CatalogSize<ImageEntry>());
  FUZZ_CHECK(KeptSystemName() != nullptr &&
             std::strcmp(KeptSystemName(), "fuzz") == 0);
  // Whatever the catalog says, a rename run walks pictures only.
  if (count > 0) {
    FUZZ_CHECK(PatternListEntries().size() == 1 &&
               PatternListEntries()[0] == "*.jpg");
  }
  const ImageEntry* entries = g_catalog<ImageEntry>.entries;
  for (uint32_t i = 0; i < count; ++i) {
    FUZZ_CHECK(entries[i].taken == 0);
    FUZZ_CHECK(CatalogName(entries[i].name).size() <= sizeof entries[i].name);
    // Names are fields split at spaces and line ends: never empty, and
    // never holding a separator.
    std::string name = CatalogName(entries[i].name);
    FUZZ_CHECK(!name.empty());
    FUZZ_CHECK(name.find_first_of(" \r\n") == std::string::npos);
  }
  CatalogRelease<ImageEntry>();
  FreePatternList();
  FreeKeptSystemName();
  return 0;
}
