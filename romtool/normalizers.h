// Header normalizers: which bytes of a cartridge image are checksummed, so
// that one game gives one CRC-32 whatever copier header a dump carries.
#ifndef ROMTOOL_NORMALIZERS_H_
#define ROMTOOL_NORMALIZERS_H_

#include <cstdint>

enum RomType {
  ROMTYPE_NONE = 0,         // nothing is checksummed
  ROMTYPE_PLAIN = 1,        // the whole image
  ROMTYPE_A78 = 2,          // Atari 7800: after a 128-byte header
  ROMTYPE_LYNX = 3,         // Atari Lynx: the size its 64-byte header gives
  ROMTYPE_NES = 4,          // after a 16-byte header
  ROMTYPE_SMD = 6,          // interleaved Genesis: de-interleaved, then 512
  ROMTYPE_SNES_COPIER = 7,  // by the size modulo 8192
};

// Returns the RomType for a file extension such as ".SMD", "*.smd" or
// "smd", without regard to ASCII letter case. Unknown extensions give
// ROMTYPE_PLAIN.
int RomTypeFromExtension(const char* extension);

// A normalizer gets the whole image and, in `*lengthInOut`, its length T.
// It returns the number of bytes to checksum and leaves their start offset
// in `*lengthInOut`. The range never reaches past T, except that a start
// and count whose 32-bit sum wraps select nothing (see Crc32Compute). It
// may rewrite the image in place but never changes its length.
typedef uint32_t (*HeaderNormalizer)(unsigned char* image,
                                     uint32_t* lengthInOut);

// The normalizer of each RomType, indexed 0 to 7.
extern const HeaderNormalizer kHeaderNormalizers[8];

// Finds a header by what the image holds, whatever its extension says:
// the iNES mark "NES\x1A" (16 bytes), the Lynx mark "LYNX" (64 bytes), the
// 7800 mark "ATARI7800" at offset 1 (128 bytes), or else a length 512
// bytes above a whole number of KiB (a copier's 512-byte header). As a
// HeaderNormalizer: returns the number of bytes after the header, to the
// end of the image, and leaves where they start in `*lengthInOut`; returns
// 0, leaving `*lengthInOut` as it was, where no header is found.
uint32_t FindHeaderByContent(const unsigned char* image, uint32_t* lengthInOut);

// Converts an interleaved Genesis image in place when it carries the
// copier signature (byte 1 = 0x03, byte 8 = 0xAA, byte 9 = 0xBB) and holds
// every 16 KiB block that byte 0 counts. Returns true when converted;
// false, with the image untouched, otherwise.
bool DeinterleaveSmd(unsigned char* image, uint32_t length);

#endif  // ROMTOOL_NORMALIZERS_H_
