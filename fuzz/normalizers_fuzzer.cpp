// The header normalizers on any image, and the extension test on any text.
// Byte 0 picks the RomType, the low 4 bits of byte 1 give the length of the
// extension text that follows, and the rest is the image, copied into a
// block of exactly its size so that any access past it is a report.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include "core/crc32.h"
#include "fuzz/fuzz_support.h"
#include "romtool/normalizers.h"

namespace {

// The interleaved Genesis layout written out from the format: in each
// 16 KiB block after the 512-byte header, the second half holds the even
// bytes and the first half the odd ones; nothing else changes.
void CheckDeinterleaved(const uint8_t* before, const unsigned char* after, size_t size) {
  const size_t kBlock = 16384, end = 512 + before[0] * kBlock;
  FUZZ_CHECK(end <= size && std::memcmp(before, after, 512) == 0);
  for (size_t i = 512; i < end; ++i) {
    size_t block = (i - 512) / kBlock * kBlock + 512, k = (i - block) / 2;
    FUZZ_CHECK(after[i] == before[block + ((i - block) % 2 == 0 ? kBlock / 2 + k : k)]);
  }
  FUZZ_CHECK(std::memcmp(before + end, after + end, size - end) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Crc32InitTable();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > UINT32_MAX) return 0;
  size_t textLength = std::min<size_t>(data[1] & 0x0F, size - 2);
  std::string extension(reinterpret_cast<const char*>(data + 2), textLength);
  // The test reads a C string: anything after a NUL is not part of it.
  extension.resize(std::strlen(extension.c_str()));
  int known = RomTypeFromExtension(extension.c_str());
  FUZZ_CHECK(known >= ROMTYPE_PLAIN && known <= ROMTYPE_SNES_COPIER && known != 5);
  // Letter case plays no part.
  for (char& c : extension) c = static_cast<char>(c ^ (std::isalpha(static_cast<unsigned char>(c)) ? 0x20 : 0));
  FUZZ_CHECK(RomTypeFromExtension(extension.c_str()) == known);
  const uint8_t* original = data + 2 + textLength;
  const size_t imageSize = size - 2 - textLength;
  // A header found by the content leaves a range that runs to the end.
  uint32_t restStart = uint32_t(imageSize);
  uint32_t rest = FindHeaderByContent(original, &restStart);
  FUZZ_CHECK(rest == 0 ? restStart == imageSize : restStart > 0 && restStart + rest == imageSize);
  std::unique_ptr<unsigned char[]> image(new unsigned char[imageSize]);
  std::copy(original, original + imageSize, image.get());
  uint32_t start = uint32_t(imageSize);
  uint32_t count = kHeaderNormalizers[data[0] % 8](image.get(), &start);
  // The range lies inside the image, unless start + count wraps around
  // 32 bits, which selects nothing.
  FUZZ_CHECK(count == 0 || start + count <= start || start + count <= imageSize);
  // An interleaved image shorter than its header counts no blocks, so
  // nothing moves, and its wrapped count selects nothing.
  const bool selects = count != 0 && start + count > start;
  if (data[0] % 8 == ROMTYPE_SMD && selects) {
    CheckDeinterleaved(original, image.get(), imageSize);
  } else {
    FUZZ_CHECK(std::equal(original, original + imageSize, image.get()));
  }
  Crc32Compute(image.get(), count, start, 0);
  return 0;
}
