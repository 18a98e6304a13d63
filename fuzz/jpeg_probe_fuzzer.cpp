// The JPEG frame-header probe on any bytes, against a plain search for the
// first byte pair FF C0 written here from the format.
#include "core/crc32.h"
#include "fuzz/fuzz_support.h"
#include "imagetool/identify.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Crc32InitTable();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  uint32_t length = uint32_t(size);
  uint16_t height = 0xA5A5, width = 0xA5A5;
  uint32_t count = FindJpegDimensions(data, &length, &height, &width);
  size_t pair = 0;
  while (pair + 1 < size && !(data[pair] == 0xFF && data[pair + 1] == 0xC0)) ++pair;
  // Only the first pair counts, and only with its size bytes inside the data.
  if (pair + 9 <= size) {
    FUZZ_CHECK(count == size && length == 0);
    FUZZ_CHECK(height == (data[pair + 5] << 8 | data[pair + 6]));
    FUZZ_CHECK(width == (data[pair + 7] << 8 | data[pair + 8]));
  } else {
    FUZZ_CHECK(count == 0 && length == size && height == 0xA5A5 && width == 0xA5A5);
  }
  Crc32Compute(data, count, length, 0);
  return 0;
}
