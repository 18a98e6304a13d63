#include "romtool/normalizers.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "core/text.h"

namespace {

const uint32_t kSmdHeader = 512;
const uint32_t kSmdBlock = 16384;

struct NamedType {
  const char* text;
  int type;
};

const NamedType kTypesByExtension[] = {
    {"a78", ROMTYPE_A78}, {"fig", ROMTYPE_SNES_COPIER},
    {"lnx", ROMTYPE_LYNX}, {"lyx", ROMTYPE_LYNX},
    {"nes", ROMTYPE_NES},  {"swc", ROMTYPE_SNES_COPIER},
    {"smd", ROMTYPE_SMD},
};

uint32_t NormalizeNothing(unsigned char*, uint32_t*) { return 0; }

uint32_t NormalizeWhole(unsigned char*, uint32_t* lengthInOut) {
  uint32_t total = *lengthInOut;
  *lengthInOut = 0;
  return total;
}

// A fixed header whose contents are not examined. A shorter image gives a
// wrapped count, which selects nothing.
template <uint32_t kHeader>
uint32_t NormalizeFixedHeader(unsigned char*, uint32_t* lengthInOut) {
  uint32_t total = *lengthInOut;
  *lengthInOut = kHeader;
  return total - kHeader;
}

// Lynx: 65536 bytes per unit of header byte 5 (the high byte of the bank-0
// page size), after the 64-byte header. An image that does not hold what
// its header claims is not identified.
uint32_t NormalizeLynx(unsigned char* image, uint32_t* lengthInOut) {
  const uint32_t kHeader = 64;
  uint32_t total = *lengthInOut;
  *lengthInOut = kHeader;
  if (total < 6) return 0;
  uint32_t count = static_cast<uint32_t>(image[5]) << 16;
  if (total < kHeader || count > total - kHeader) return 0;
  return count;
}

uint32_t NormalizeSmd(unsigned char* image, uint32_t* lengthInOut) {
  uint32_t total = *lengthInOut;
  if (!DeinterleaveSmd(image, total)) return 0;
  *lengthInOut = kSmdHeader;
  return total - kSmdHeader;
}

// Super Nintendo copier images: whole 8 KiB units, with or without one
// 512-byte header in front; any other size is not identified.
uint32_t NormalizeSnesCopier(unsigned char*, uint32_t* lengthInOut) {
  uint32_t total = *lengthInOut;
  uint32_t remainder = total & 0x1FFFu;
  if (remainder == 512) {
    *lengthInOut = 512;
    return total - 512;
  }
  *lengthInOut = remainder;
  return remainder == 0 ? total : 0;
}

}  // namespace

const HeaderNormalizer kHeaderNormalizers[8] = {
    NormalizeNothing,          NormalizeWhole,      NormalizeFixedHeader<128>,
    NormalizeLynx,             NormalizeFixedHeader<16>, NormalizeWhole,
    NormalizeSmd,              NormalizeSnesCopier,
};

int RomTypeFromExtension(const char* extension) {
  const char* text = extension;
  if (*text == '*') ++text;
  if (*text == '.') ++text;
  std::string lowered(text);
  for (char& c : lowered) c = static_cast<char>(AsciiLower(static_cast<unsigned char>(c)));
  for (const NamedType& known : kTypesByExtension) {
    if (lowered == known.text) return known.type;
  }
  return ROMTYPE_PLAIN;
}

uint32_t FindHeaderByContent(const unsigned char* image, uint32_t* lengthInOut) {
  struct Mark {
    uint32_t offset;
    const char* text;
    uint32_t header;
  };
  static const Mark kMarks[] = {
      {0, "NES\x1A", 16}, {0, "LYNX", 64}, {1, "ATARI7800", 128}};
  const uint32_t total = *lengthInOut;
  uint32_t header = total % 1024 == 512 ? 512 : 0;
  for (const Mark& mark : kMarks) {
    // The header must be there whole, and something after it.
    if (total > mark.header &&
        std::memcmp(image + mark.offset, mark.text, std::strlen(mark.text)) == 0) {
      header = mark.header;
      break;
    }
  }
  if (header == 0) return 0;
  *lengthInOut = header;
  return total - header;
}

bool DeinterleaveSmd(unsigned char* image, uint32_t length) {
  if (length < 10 || image[1] != 0x03 || image[8] != 0xAA ||
      image[9] != 0xBB) {
    return false;
  }
  uint32_t blocks = image[0];
  // Refuse an image that does not hold every block its header counts.
  if (blocks > 0 &&
      (length < kSmdHeader || blocks > (length - kSmdHeader) / kSmdBlock)) {
    return false;
  }
  std::unique_ptr<unsigned char[]> scratch(new (std::nothrow)
                                               unsigned char[kSmdBlock]);
  if (!scratch) return false;
  const uint32_t half = kSmdBlock / 2;
  for (uint32_t i = 0; i < blocks; ++i) {
    unsigned char* block = image + kSmdHeader + kSmdBlock * i;
    for (uint32_t k = 0; k < half; ++k) {
      scratch[2 * k] = block[half + k];
      scratch[2 * k + 1] = block[k];
    }
    std::memcpy(block, scratch.get(), kSmdBlock);
  }
  return true;
}
