// The header normalizers on any image, and the extension test on any
// text. Input: byte 0 picks the RomType (0 to 7), the low 4 bits of byte 1
// give the length of the extension text that follows, and the rest is the
// image, copied into a block of exactly its size so that any access past
// its end is a sanitizer report.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/crc32.h"
#include "fuzz/fuzz_support.h"
#include "romtool/normalizers.h"

namespace {

void CheckExtensionText(const uint8_t* text, size_t length) {
  std::vector<char> extension(text, text + length);
  extension.push_back('\0');
  int type = RomTypeFromExtension(extension.data());
  FUZZ_CHECK(type == ROMTYPE_PLAIN || type == ROMTYPE_A78 ||
             type == ROMTYPE_LYNX || type == ROMTYPE_NES ||
             type == ROMTYPE_SMD || type == ROMTYPE_SNES_COPIER);
  for (const char* p = extension.data(); *p != '\0'; ++p) {
    FUZZ_CHECK(*p < 'A' || *p > 'Z');
  }
}

// The SMD conversion written out from the format: in each 16 KiB block
// after the 512-byte header, the second half gives the even bytes and the
// first half the odd ones. Everything else stays as it was.
void CheckDeinterleaved(const uint8_t* before, const unsigned char* after,
                        size_t size) {
  const size_t kHeader = 512;
  const size_t kBlock = 16384;
  size_t blocks = before[0];
  if (blocks == 0) {
    FUZZ_CHECK(std::memcmp(before, after, size) == 0);
    return;
  }
  FUZZ_CHECK(kHeader + blocks * kBlock <= size);
  FUZZ_CHECK(std::memcmp(before, after, kHeader) == 0);
  for (size_t b = 0; b < blocks; ++b) {
    const uint8_t* in = before + kHeader + b * kBlock;
    const unsigned char* out = after + kHeader + b * kBlock;
    for (size_t k = 0; k < kBlock / 2; ++k) {
      FUZZ_CHECK(out[2 * k] == in[kBlock / 2 + k]);
      FUZZ_CHECK(out[2 * k + 1] == in[k]);
    }
  }
  size_t converted = kHeader + blocks * kBlock;
  FUZZ_CHECK(std::memcmp(before + converted, after + converted,
                         size - converted) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Crc32InitTable();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > UINT32_MAX) return 0;
  int type = data[0] % 8;
  size_t textLength = std::min<size_t>(data[1] & 0x0F, size - 2);
  CheckExtensionText(data + 2, textLength);
  const uint8_t* original = data + 2 + textLength;
  const size_t imageSize = size - 2 - textLength;
  std::unique_ptr<unsigned char[]> image(new unsigned char[imageSize]);
  std::copy(original, original + imageSize, image.get());

  uint32_t start = static_cast<uint32_t>(imageSize);
  uint32_t count = kHeaderNormalizers[type](image.get(), &start);
  // The range lies inside the image, unless start + count wraps around
  // 32 bits, which selects nothing.
  uint32_t end = start + count;
  if (count != 0 && end > start) FUZZ_CHECK(end <= imageSize);
  if (type == ROMTYPE_SMD && count != 0) {
    CheckDeinterleaved(original, image.get(), imageSize);
  } else {
    FUZZ_CHECK(std::equal(original, original + imageSize, image.get()));
  }
  Crc32Compute(image.get(), count, start, 0);
  return 0;
}
