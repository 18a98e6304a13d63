// The XML catalog reader on any bytes: the names it stores never outgrow
// the input together, as they would if an entity were expanded.
#include <unistd.h>

#include "core/catalog.h"
#include "fuzz/fuzz_support.h"
#include "romtool/dat_reader.h"
#include "romtool/xml_catalog.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FUZZ_CHECK(chdir(FuzzScratchDir().c_str()) == 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteWholeFile("fuzz.dat", data, size);
  std::FILE* stream = std::fopen("fuzz.dat", "rb");  // just written, so it opens
  uint32_t count = LoadXmlCatalog(stream, "fuzz.dat");
  std::fclose(stream);
  CheckLoadedCatalog<RomEntry>(count, size);
  return 0;
}
