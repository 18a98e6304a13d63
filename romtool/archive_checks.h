// What is checked of an archive before anything of it is unpacked, so
// that a hostile or unusable one is refused with a reason instead of
// costing memory: the decoders a 7z archive or an xz file asks for,
// whether a RAR archive is encrypted or one volume of several, and a gzip
// file's checksums, which libarchive does not check.
#ifndef ROMTOOL_ARCHIVE_CHECKS_H_
#define ROMTOOL_ARCHIVE_CHECKS_H_

#include <cstddef>
#include <cstdint>

#include "core/read_source.h"
#include "romtool/archive_reader.h"

enum ArchiveCheck {
  ARCHIVE_CHECK_OK = 0,
  ARCHIVE_CHECK_CORRUPT,
  ARCHIVE_CHECK_UNSUPPORTED,
  ARCHIVE_CHECK_ENCRYPTED,
  ARCHIVE_CHECK_MULTIVOLUME,
  ARCHIVE_CHECK_DICTIONARY,  // a decoder would need more than kDecoderMemoryMost
  ARCHIVE_CHECK_TOO_LARGE,   // unpacks to more than kArchiveMaxRatio times its size
};

// The most memory the decoders of one 7z folder may ask for: their
// dictionaries (LZMA, LZMA2) and model sizes (PPMd) together. A decoder
// allocates what its header asks for before it unpacks a byte, and a
// header may ask for 4 GiB; archivers ask for no more than the data needs,
// and cartridge images need far less than this.
constexpr uint64_t kDecoderMemoryMost = uint64_t{256} << 20;

// Checks the start of an archive of `kind` read from `source`. Returns an
// ArchiveCheck; ARCHIVE_CHECK_OK also where the archive's own reader is
// left to find a fault. A tar and a bzip2 file pass unchecked.
int CheckArchiveBeforeUnpacking(ReadSource* source, ArchiveKind kind);

// The checks of one kind each, an ArchiveCheck: a 7z archive's decoders,
// a RAR archive's main header, and an xz file's blocks' decoders.
int CheckSevenZip(ReadSource* source);
int CheckRar(ReadSource* source);
int CheckXz(ReadSource* source);

// The check of a 7z archive's header, `header` being the `size` bytes
// that its start record points at, in `source`.
int CheckSevenZipHeader(ReadSource* source, const unsigned char* header, size_t size);

#endif  // ROMTOOL_ARCHIVE_CHECKS_H_
