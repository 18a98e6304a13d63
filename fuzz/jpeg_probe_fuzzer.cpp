// The JPEG frame-header probe on any bytes, checked against a plain
// search for the first byte pair FF C0 written here from the format.
#include <cstddef>
#include <cstdint>

#include "core/crc32.h"
#include "fuzz/fuzz_support.h"
#include "imagetool/identify.h"

namespace {

// Index of the first FF C0 pair, or `size` when there is none.
size_t FirstFramePair(const uint8_t* data, size_t size) {
  for (size_t i = 0; i + 1 < size; ++i) {
    if (data[i] == 0xFF && data[i + 1] == 0xC0) return i;
  }
  return size;
}

uint16_t BigEndian16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Crc32InitTable();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  const uint16_t kUntouched = 0xA5A5;
  uint32_t length = static_cast<uint32_t>(size);
  uint16_t height = kUntouched;
  uint16_t width = kUntouched;
  uint32_t count = FindJpegDimensions(data, &length, &height, &width);
  // Only the first pair counts; it needs its height and width bytes, up to
  // 9 bytes from its FF, inside the data.
  size_t pair = FirstFramePair(data, size);
  if (pair < size && size - pair >= 9) {
    FUZZ_CHECK(count == size && length == 0);
    FUZZ_CHECK(height == BigEndian16(data + pair + 5));
    FUZZ_CHECK(width == BigEndian16(data + pair + 7));
  } else {
    FUZZ_CHECK(count == 0 && length == size);
    FUZZ_CHECK(height == kUntouched && width == kUntouched);
  }
  Crc32Compute(data, count, length, 0);
  return 0;
}
