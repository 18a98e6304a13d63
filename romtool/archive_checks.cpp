#include "romtool/archive_checks.h"

#include <lzma.h>
#include <zlib.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <string>

namespace {

constexpr uInt kGzipPiece = 64 * 1024;
// An xz index of more than this is refused, not read.
constexpr uint64_t kXzIndexMost = uint64_t{16} << 20;

// Unpacks a gzip file once, throwing its bytes away: zlib checks each
// member's CRC-32 and length against its trailer, which libarchive does
// not, and the ratio is bounded as for the unpacking that follows.
int CheckGzip(ReadSource* source) {
  z_stream stream = {};
  if (inflateInit2(&stream, 15 + 16) != Z_OK) return ARCHIVE_CHECK_CORRUPT;
  std::unique_ptr<unsigned char[]> in(new (std::nothrow) unsigned char[kGzipPiece]);
  std::unique_ptr<unsigned char[]> out(new (std::nothrow) unsigned char[kGzipPiece]);
  const uint64_t size = source->Size(), most = (size > 0 ? size : 1) * kArchiveMaxRatio;
  uint64_t offset = 0, unpacked = 0;
  int verdict = in && out ? ARCHIVE_CHECK_OK : ARCHIVE_CHECK_CORRUPT;
  int status = Z_OK;
  std::string error;
  while (verdict == ARCHIVE_CHECK_OK && !(status == Z_STREAM_END && offset == size && stream.avail_in == 0)) {
    if (status == Z_STREAM_END) status = inflateReset(&stream);  // the next member
    if (stream.avail_in == 0) {
      size_t got = 0;
      if (!source->ReadAt(offset, in.get(), kGzipPiece, &got, &error) || got == 0) {
        verdict = ARCHIVE_CHECK_CORRUPT;
        break;
      }
      offset += got;
      stream.next_in = in.get();
      stream.avail_in = static_cast<uInt>(got);
    }
    stream.next_out = out.get();
    stream.avail_out = kGzipPiece;
    status = inflate(&stream, Z_NO_FLUSH);
    unpacked += kGzipPiece - stream.avail_out;
    if (status != Z_OK && status != Z_STREAM_END) verdict = ARCHIVE_CHECK_CORRUPT;
    if (unpacked > most) verdict = ARCHIVE_CHECK_TOO_LARGE;
  }
  inflateEnd(&stream);
  return verdict;
}

// Checks what the decoder of one xz block asks for: its header, at
// `offset`, names its filters and their dictionaries.
int CheckXzBlock(ReadSource* source, uint64_t offset, lzma_check check) {
  unsigned char header[LZMA_BLOCK_HEADER_SIZE_MAX];
  std::string error;
  if (!ReadExactly(source, offset, header, 1, &error) || header[0] == 0) return ARCHIVE_CHECK_CORRUPT;
  lzma_filter filters[LZMA_FILTERS_MAX + 1];
  lzma_block block = {};
  block.version = 1;
  block.check = check;
  block.filters = filters;
  block.header_size = lzma_block_header_size_decode(header[0]);
  if (!ReadExactly(source, offset, header, block.header_size, &error) ||
      lzma_block_header_decode(&block, nullptr, header) != LZMA_OK) {
    return ARCHIVE_CHECK_CORRUPT;
  }
  const uint64_t memory = lzma_raw_decoder_memusage(filters);
  for (int i = 0; filters[i].id != LZMA_VLI_UNKNOWN; ++i) std::free(filters[i].options);
  return memory > kDecoderMemoryMost ? ARCHIVE_CHECK_DICTIONARY : ARCHIVE_CHECK_OK;
}

// Checks the blocks of the xz stream that ends at `*end` and moves `*end`
// to where it starts: its footer gives its index, which gives its blocks.
int CheckXzStream(ReadSource* source, uint64_t* end) {
  unsigned char footer[LZMA_STREAM_HEADER_SIZE];
  lzma_stream_flags flags;
  std::string error;
  if (*end < 2 * LZMA_STREAM_HEADER_SIZE ||
      !ReadExactly(source, *end - LZMA_STREAM_HEADER_SIZE, footer, sizeof footer, &error) ||
      lzma_stream_footer_decode(&flags, footer) != LZMA_OK ||
      flags.backward_size > *end - 2 * LZMA_STREAM_HEADER_SIZE || flags.backward_size > kXzIndexMost) {
    return ARCHIVE_CHECK_CORRUPT;
  }
  const uint64_t indexAt = *end - LZMA_STREAM_HEADER_SIZE - flags.backward_size;
  std::unique_ptr<unsigned char[]> bytes(new (std::nothrow) unsigned char[flags.backward_size]);
  lzma_index* index = nullptr;
  uint64_t memory = kXzIndexMost;
  size_t at = 0;
  if (!bytes || !ReadExactly(source, indexAt, bytes.get(), flags.backward_size, &error) ||
      lzma_index_buffer_decode(&index, &memory, nullptr, bytes.get(), &at, flags.backward_size) != LZMA_OK) {
    return ARCHIVE_CHECK_CORRUPT;
  }
  const uint64_t size = lzma_index_stream_size(index);
  int verdict = size > *end ? ARCHIVE_CHECK_CORRUPT : ARCHIVE_CHECK_OK;
  const uint64_t start = verdict == ARCHIVE_CHECK_OK ? *end - size : 0;
  lzma_index_iter block;
  lzma_index_iter_init(&block, index);
  while (verdict == ARCHIVE_CHECK_OK && !lzma_index_iter_next(&block, LZMA_INDEX_ITER_BLOCK)) {
    verdict = CheckXzBlock(source, start + block.block.compressed_stream_offset, flags.check);
  }
  lzma_index_end(index, nullptr);
  *end = start;
  return verdict;
}

}  // namespace

int CheckXz(ReadSource* source) {
  // Streams may follow one another, with zero bytes between them in fours.
  uint64_t end = source->Size();
  int verdict = ARCHIVE_CHECK_OK;
  while (verdict == ARCHIVE_CHECK_OK && end > 0) {
    unsigned char padding[4];
    std::string error;
    if (end < 4 || !ReadExactly(source, end - 4, padding, 4, &error)) return ARCHIVE_CHECK_CORRUPT;
    if ((padding[0] | padding[1] | padding[2] | padding[3]) == 0) {
      end -= 4;
      continue;
    }
    verdict = CheckXzStream(source, &end);
  }
  return verdict;
}

int CheckArchiveBeforeUnpacking(ReadSource* source, ArchiveKind kind) {
  if (kind == ARCHIVE_SEVENZIP) return CheckSevenZip(source);
  if (kind == ARCHIVE_RAR) return CheckRar(source);
  if (kind == ARCHIVE_GZIP) return CheckGzip(source);
  if (kind == ARCHIVE_XZ) return CheckXz(source);
  return ARCHIVE_CHECK_OK;
}

