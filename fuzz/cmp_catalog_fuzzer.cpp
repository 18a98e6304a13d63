// The ClrMamePro tokenizer and reader on any bytes: tokens within their
// bound, no more lines than the input has, names no longer than it.
#include <unistd.h>

#include <algorithm>

#include "core/catalog.h"
#include "fuzz/fuzz_support.h"
#include "romtool/cmp_catalog.h"
#include "romtool/dat_reader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FUZZ_CHECK(chdir(FuzzScratchDir().c_str()) == 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteWholeFile("fuzz.dat", data, size);
  std::FILE* stream = std::fopen("fuzz.dat", "rb");
  CmpTokenizer tokens;
  FUZZ_CHECK(stream != nullptr && CmpStart(&tokens, stream));
  for (int kind = CMP_OPEN; kind != CMP_END && kind != CMP_FAULT;) {
    kind = CmpNextToken(&tokens);
    FUZZ_CHECK(tokens.text.size() <= CmpTokenizer::kMaxToken);
    FUZZ_CHECK(kind >= CMP_TEXT || tokens.text.empty());
  }
  FUZZ_CHECK(tokens.line <= 1 + static_cast<size_t>(std::count(data, data + size, '\n')));
  std::rewind(stream);
  uint32_t count = LoadCmpCatalog(stream, "fuzz.dat");
  std::fclose(stream);
  CheckLoadedCatalog<RomEntry>(count, size);
  return 0;
}
