// The ClrMamePro tokenizer and reader on any bytes: tokens within their
// bound, no more lines than the input has, names no longer than it.
#include <algorithm>

#include "core/catalog.h"
#include "fuzz/fuzz_support.h"
#include "romtool/cmp_catalog.h"
#include "romtool/dat_reader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SourcePtr source = MemorySource(std::string(reinterpret_cast<const char*>(data), size));
  CmpTokenizer tokens;
  FUZZ_CHECK(CmpStart(&tokens, source.get()));
  for (int kind = CMP_OPEN; kind != CMP_END && kind != CMP_FAULT;) {
    kind = CmpNextToken(&tokens);
    FUZZ_CHECK(tokens.text.size() <= CmpTokenizer::kMaxToken);
    FUZZ_CHECK(kind >= CMP_TEXT || tokens.text.empty());
  }
  FUZZ_CHECK(tokens.line <= 1 + static_cast<size_t>(std::count(data, data + size, '\n')));
  std::string said;
  uint32_t count = LoadCmpCatalog(source.get(), "fuzz.dat", &said);
  CheckLoadedCatalog<RomEntry>(count, size);
  return 0;
}
