// The XML catalog reader on any bytes: the names it stores never outgrow
// the input together, as they would if an entity were expanded.
#include "core/catalog.h"
#include "fuzz/fuzz_support.h"
#include "romtool/dat_reader.h"
#include "romtool/xml_catalog.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SourcePtr source = MemorySource(std::string(reinterpret_cast<const char*>(data), size));
  std::string said;
  uint32_t count = LoadXmlCatalog(source.get(), "fuzz.dat", &said);
  CheckLoadedCatalog<RomEntry>(count, size);
  return 0;
}
