// The image tool's .crc reader on any bytes.
#include "core/catalog.h"
#include "core/patterns.h"
#include "core/run.h"
#include "fuzz/fuzz_support.h"
#include "imagetool/crc_reader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string said;
  uint32_t count = LoadImageCatalog(RunOnBytes(data, size), &said);
  FUZZ_CHECK(count == CatalogSize<ImageEntry>());
  // Whatever the catalog says, a rename run walks pictures only.
  FUZZ_CHECK(count == 0 || PatternListEntries() == std::vector<std::string>{"*.jpg"});
  for (uint32_t i = 0; i < count; ++i) {
    // Names are fields split at spaces and line ends: never empty, never
    // holding a separator.
    std::string name = CatalogEntryName(*CatalogEntry<ImageEntry>(i));
    FUZZ_CHECK(!name.empty() && name.find_first_of(" \r\n") == std::string::npos);
  }
  CatalogRelease<ImageEntry>();
  FreePatternList();
  return 0;
}
