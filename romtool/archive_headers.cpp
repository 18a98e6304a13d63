// The walks of 7z and RAR headers that the checks before unpacking make.
#include "romtool/archive_checks.h"

#include <lzma.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

// The 7z header's property ids that the walk meets.
enum {
  kEnd = 0x00, kHeader = 0x01, kArchiveProperties = 0x02, kAdditionalStreams = 0x03,
  kMainStreams = 0x04, kPackInfo = 0x06, kUnpackInfo = 0x07, kSubStreams = 0x08,
  kSize = 0x09, kCrc = 0x0A, kFolder = 0x0B, kUnpackSizes = 0x0C, kEncodedHeader = 0x17,
};

// A start record's header of more than this is refused, not read.
constexpr uint64_t kHeaderMost = uint64_t{64} << 20;
constexpr int kCodersMost = 64;

uint32_t Le32(const unsigned char* at) {
  return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

uint64_t Le64(const unsigned char* at) {
  return Le32(at) | (static_cast<uint64_t>(Le32(at + 4)) << 32);
}

// Reads a header's bytes in order; once a read runs past the end, `bad`
// stays set and every read gives 0.
struct Cursor {
  const unsigned char* at;
  size_t left;
  bool bad = false;
};

const unsigned char* Take(Cursor* cursor, uint64_t count) {
  if (cursor->bad || count > cursor->left) {
    cursor->bad = true;
    return nullptr;
  }
  const unsigned char* taken = cursor->at;
  cursor->at += count;
  cursor->left -= static_cast<size_t>(count);
  return taken;
}

// A 7z number: the first byte's leading one bits count the bytes that
// follow (little-endian); its other bits are the highest part.
uint64_t TakeNumber(Cursor* cursor) {
  const unsigned char* first = Take(cursor, 1);
  if (first == nullptr) return 0;
  int extra = 0;
  while (extra < 8 && (*first & (0x80 >> extra)) != 0) ++extra;
  const unsigned char* rest = Take(cursor, extra);
  if (rest == nullptr) return 0;
  uint64_t value = 0;
  for (int i = 0; i < extra; ++i) value |= static_cast<uint64_t>(rest[i]) << (8 * i);
  if (extra < 8) value |= static_cast<uint64_t>(*first & ((0x80 >> extra) - 1)) << (8 * extra);
  return value;
}

// A count that the bytes left could hold at least one byte of each for.
uint64_t TakeCount(Cursor* cursor) {
  uint64_t count = TakeNumber(cursor);
  if (count > cursor->left) cursor->bad = true;
  return cursor->bad ? 0 : count;
}

// The coder of a folder that a header packed by LZMA needs.
struct Coder {
  std::vector<unsigned char> id, properties;
};

// What the walk found: the worst verdict, and for an encoded header where
// its packed bytes are and how to unpack them.
struct Scan {
  int verdict = ARCHIVE_CHECK_OK;
  uint64_t packPosition = 0, packSize = 0, unpackSize = 0;
  int folders = 0;
  Coder firstCoder;
  int firstFolderCoders = 0;
};

bool IdIs(const Coder& coder, std::initializer_list<unsigned char> id) {
  return coder.id.size() == id.size() && std::equal(id.begin(), id.end(), coder.id.begin());
}

// The memory a coder asks for, or -1 for an encrypting one.
int64_t CoderMemory(const Coder& coder) {
  const std::vector<unsigned char>& p = coder.properties;
  if (IdIs(coder, {0x06, 0xF1, 0x07, 0x01})) return -1;  // AES
  bool lzmaOrPpmd = IdIs(coder, {0x03, 0x01, 0x01}) || IdIs(coder, {0x03, 0x04, 0x01});
  if (lzmaOrPpmd && p.size() >= 5) return Le32(p.data() + 1);
  if (IdIs(coder, {0x21}) && p.size() >= 1) {  // LZMA2
    if (p[0] >= 40) return UINT32_MAX;
    return static_cast<int64_t>(2 | (p[0] & 1)) << (p[0] / 2 + 11);
  }
  return 0;
}

void Judge(Scan* scan, int verdict) {
  // Encryption is the reason a user can act on first.
  if (scan->verdict == ARCHIVE_CHECK_OK || verdict == ARCHIVE_CHECK_ENCRYPTED) {
    scan->verdict = verdict;
  }
}

// Reads one coder record into `coder`, with its stream counts.
void TakeCoder(Cursor* cursor, Coder* coder, uint64_t* inputs, uint64_t* outputs) {
  const unsigned char* flags = Take(cursor, 1);
  if (flags == nullptr) return;
  if ((*flags & 0x80) != 0) cursor->bad = true;  // reserved: alternative methods
  const unsigned char* id = Take(cursor, *flags & 0x0F);
  if (id != nullptr) coder->id.assign(id, id + (*flags & 0x0F));
  *inputs = *outputs = 1;
  if ((*flags & 0x10) != 0) {
    *inputs = TakeNumber(cursor);
    *outputs = TakeNumber(cursor);
    if (*inputs > kCodersMost || *outputs > kCodersMost) cursor->bad = true;
  }
  if ((*flags & 0x20) != 0) {
    uint64_t size = TakeCount(cursor);
    const unsigned char* properties = Take(cursor, size);
    if (properties != nullptr) coder->properties.assign(properties, properties + size);
  }
}

// Reads one folder: its coders, judged, and how its streams are bound.
// Returns its number of output streams.
uint64_t TakeFolder(Cursor* cursor, Scan* scan) {
  uint64_t coders = TakeNumber(cursor);
  if (coders == 0 || coders > kCodersMost) cursor->bad = true;
  uint64_t inputs = 0, outputs = 0, memory = 0;
  for (uint64_t i = 0; i < coders && !cursor->bad; ++i) {
    Coder coder;
    uint64_t in = 0, out = 0;
    TakeCoder(cursor, &coder, &in, &out);
    inputs += in;
    outputs += out;
    int64_t asks = CoderMemory(coder);
    if (asks < 0) Judge(scan, ARCHIVE_CHECK_ENCRYPTED);
    memory += asks > 0 ? static_cast<uint64_t>(asks) : 0;
    if (scan->folders == 0 && i == 0) scan->firstCoder = coder;
  }
  if (memory > kDecoderMemoryMost) Judge(scan, ARCHIVE_CHECK_DICTIONARY);
  if (scan->folders++ == 0) scan->firstFolderCoders = static_cast<int>(coders);
  if (outputs == 0 || inputs < outputs - 1) cursor->bad = true;
  for (uint64_t i = 0; i + 1 < outputs && !cursor->bad; ++i) {
    TakeNumber(cursor);  // the bound input stream
    TakeNumber(cursor);  // and the output it takes
  }
  uint64_t packed = cursor->bad ? 0 : inputs - (outputs - 1);
  for (uint64_t i = 0; packed > 1 && i < packed; ++i) TakeNumber(cursor);
  return outputs;
}

// Skips the digests of `count` streams.
void SkipDigests(Cursor* cursor, uint64_t count) {
  const unsigned char* all = Take(cursor, 1);
  uint64_t defined = count;
  if (all != nullptr && *all == 0) {
    const unsigned char* bits = Take(cursor, (count + 7) / 8);
    defined = 0;
    for (uint64_t i = 0; bits != nullptr && i < count; ++i) {
      defined += (bits[i / 8] >> (7 - i % 8)) & 1;
    }
  }
  if (defined > cursor->left / 4) cursor->bad = true;
  Take(cursor, defined * 4);
}

void TakePackInfo(Cursor* cursor, Scan* scan) {
  scan->packPosition = TakeNumber(cursor);
  uint64_t streams = TakeCount(cursor);
  for (uint64_t id = TakeNumber(cursor); id != kEnd && !cursor->bad; id = TakeNumber(cursor)) {
    if (id == kSize) {
      for (uint64_t i = 0; i < streams; ++i) {
        uint64_t size = TakeNumber(cursor);
        if (i == 0) scan->packSize = size;
      }
    } else if (id == kCrc) {
      SkipDigests(cursor, streams);
    } else {
      cursor->bad = true;
    }
  }
}

void TakeUnpackInfo(Cursor* cursor, Scan* scan) {
  if (TakeNumber(cursor) != kFolder) cursor->bad = true;
  uint64_t folders = TakeCount(cursor);
  const unsigned char* external = Take(cursor, 1);
  if (external != nullptr && *external != 0) cursor->bad = true;
  std::vector<uint64_t> outputs;
  for (uint64_t i = 0; i < folders && !cursor->bad; ++i) outputs.push_back(TakeFolder(cursor, scan));
  if (TakeNumber(cursor) != kUnpackSizes) cursor->bad = true;
  for (size_t i = 0; i < outputs.size() && !cursor->bad; ++i) {
    for (uint64_t j = 0; j < outputs[i]; ++j) {
      uint64_t size = TakeNumber(cursor);
      if (i == 0 && j + 1 == outputs[i]) scan->unpackSize = size;
    }
  }
  uint64_t id = TakeNumber(cursor);
  if (id == kCrc) {
    SkipDigests(cursor, folders);
    id = TakeNumber(cursor);
  }
  if (id != kEnd) cursor->bad = true;
}

// Reads a streams record up to what follows its folders, which the check
// does not need.
void TakeStreamsInfo(Cursor* cursor, Scan* scan) {
  uint64_t id = TakeNumber(cursor);
  if (id == kPackInfo) {
    TakePackInfo(cursor, scan);
    id = TakeNumber(cursor);
  }
  if (id == kUnpackInfo) {
    TakeUnpackInfo(cursor, scan);
    id = TakeNumber(cursor);
  }
  if (id != kSubStreams && id != kEnd) cursor->bad = true;
}

// Unpacks the LZMA-packed header that `scan` describes into `header`.
int UnpackHeader(ReadSource* source, const Scan& scan, std::vector<unsigned char>* header) {
  const Coder& coder = scan.firstCoder;
  bool lzma = IdIs(coder, {0x03, 0x01, 0x01});
  if (scan.folders != 1 || scan.firstFolderCoders != 1 || !(lzma || IdIs(coder, {0x21}))) {
    return ARCHIVE_CHECK_UNSUPPORTED;
  }
  const uint64_t size = source->Size();
  if (scan.packPosition > size - 32 || scan.packSize > size - 32 - scan.packPosition ||
      scan.unpackSize > kHeaderMost || scan.packSize > kHeaderMost) {
    return ARCHIVE_CHECK_CORRUPT;
  }
  std::string error;
  std::vector<unsigned char> packed(static_cast<size_t>(scan.packSize));
  if (!ReadExactly(source, 32 + scan.packPosition, packed.data(), packed.size(), &error)) {
    return ARCHIVE_CHECK_CORRUPT;
  }
  lzma_filter filters[2] = {{lzma ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA2, nullptr},
                            {LZMA_VLI_UNKNOWN, nullptr}};
  if (lzma_properties_decode(&filters[0], nullptr, coder.properties.data(),
                             coder.properties.size()) != LZMA_OK) {
    return ARCHIVE_CHECK_CORRUPT;
  }
  lzma_stream stream = LZMA_STREAM_INIT;
  lzma_ret started = lzma_raw_decoder(&stream, filters);
  std::free(filters[0].options);
  if (started != LZMA_OK) return ARCHIVE_CHECK_CORRUPT;
  header->resize(static_cast<size_t>(scan.unpackSize));
  stream.next_in = packed.data();
  stream.avail_in = packed.size();
  stream.next_out = header->data();
  stream.avail_out = header->size();
  lzma_ret ret = LZMA_OK;
  while (ret == LZMA_OK && stream.avail_out > 0 && stream.avail_in > 0) {
    ret = lzma_code(&stream, LZMA_RUN);
  }
  bool whole = stream.avail_out == 0 && (ret == LZMA_OK || ret == LZMA_STREAM_END);
  lzma_end(&stream);
  return whole ? ARCHIVE_CHECK_OK : ARCHIVE_CHECK_CORRUPT;
}

// Walks a plain header far enough to have seen every folder.
int WalkPlainHeader(Cursor* cursor) {
  Scan scan;
  uint64_t id = TakeNumber(cursor);
  if (id == kArchiveProperties) {
    for (uint64_t type = TakeNumber(cursor); type != kEnd && !cursor->bad; type = TakeNumber(cursor)) {
      Take(cursor, TakeCount(cursor));
    }
    id = TakeNumber(cursor);
  }
  if (id == kAdditionalStreams) {
    TakeStreamsInfo(cursor, &scan);
    id = TakeNumber(cursor);
  }
  if (id == kMainStreams) TakeStreamsInfo(cursor, &scan);
  return cursor->bad ? ARCHIVE_CHECK_CORRUPT : scan.verdict;
}

// A RAR 5 number: seven bits a byte, least significant first, while the
// top bit is set.
uint64_t TakeRarNumber(Cursor* cursor) {
  uint64_t value = 0;
  for (int shift = 0; shift < 70; shift += 7) {
    const unsigned char* byte = Take(cursor, 1);
    if (byte == nullptr) return 0;
    value |= static_cast<uint64_t>(*byte & 0x7F) << shift;
    if ((*byte & 0x80) == 0) return value;
  }
  cursor->bad = true;
  return 0;
}

}  // namespace

int CheckSevenZip(ReadSource* source) {
  unsigned char start[32];
  std::string error;
  static const unsigned char kSignature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
  if (!ReadExactly(source, 0, start, sizeof start, &error) ||
      std::memcmp(start, kSignature, sizeof kSignature) != 0) {
    return ARCHIVE_CHECK_CORRUPT;
  }
  const uint64_t offset = Le64(start + 12), size = Le64(start + 20), fileSize = source->Size();
  if (size == 0) return ARCHIVE_CHECK_OK;  // an archive of no members
  if (offset > fileSize - 32 || size > fileSize - 32 - offset) return ARCHIVE_CHECK_CORRUPT;
  if (size > kHeaderMost) return ARCHIVE_CHECK_UNSUPPORTED;
  std::vector<unsigned char> header(static_cast<size_t>(size));
  if (!ReadExactly(source, 32 + offset, header.data(), header.size(), &error)) {
    return ARCHIVE_CHECK_CORRUPT;
  }
  return CheckSevenZipHeader(source, header.data(), header.size());
}

// The main header's flags of a RAR archive, either version: whether it is
// encrypted or one volume of several. What is not plainly either is left
// to the reader.
int CheckRar(ReadSource* source) {
  static const unsigned char kRar4[7] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
  static const unsigned char kRar5[8] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};
  unsigned char start[64];
  size_t got = 0;
  std::string error;
  if (!source->ReadAt(0, start, sizeof start, &got, &error)) return ARCHIVE_CHECK_CORRUPT;
  if (got >= 12 && std::memcmp(start, kRar4, sizeof kRar4) == 0 && start[9] == 0x73) {
    const unsigned flags = start[10] | (start[11] << 8);
    if ((flags & 0x0080) != 0) return ARCHIVE_CHECK_ENCRYPTED;
    return (flags & 0x0001) != 0 ? ARCHIVE_CHECK_MULTIVOLUME : ARCHIVE_CHECK_OK;
  }
  if (got < 12 || std::memcmp(start, kRar5, sizeof kRar5) != 0) return ARCHIVE_CHECK_OK;
  Cursor cursor = {start + 12, got - 12};  // after the header's CRC-32
  TakeRarNumber(&cursor);                  // the header's size
  const uint64_t type = TakeRarNumber(&cursor);
  if (type == 4) return ARCHIVE_CHECK_ENCRYPTED;  // the archive's encryption header
  const uint64_t flags = TakeRarNumber(&cursor);
  if ((flags & 1) != 0) TakeRarNumber(&cursor);  // the extra area's size
  if ((flags & 2) != 0) TakeRarNumber(&cursor);  // the data's size
  const uint64_t archiveFlags = TakeRarNumber(&cursor);
  if (type != 1 || cursor.bad) return ARCHIVE_CHECK_OK;
  return (archiveFlags & 1) != 0 ? ARCHIVE_CHECK_MULTIVOLUME : ARCHIVE_CHECK_OK;
}


int CheckSevenZipHeader(ReadSource* source, const unsigned char* header, size_t size) {
  Cursor cursor = {header, size};
  uint64_t id = TakeNumber(&cursor);
  if (id == kHeader) return WalkPlainHeader(&cursor);
  if (id != kEncodedHeader) return ARCHIVE_CHECK_CORRUPT;
  Scan scan;
  TakeStreamsInfo(&cursor, &scan);
  if (cursor.bad) return ARCHIVE_CHECK_CORRUPT;
  if (scan.verdict != ARCHIVE_CHECK_OK) return scan.verdict;
  std::vector<unsigned char> unpacked;
  int verdict = UnpackHeader(source, scan, &unpacked);
  if (verdict != ARCHIVE_CHECK_OK) return verdict;
  // The unpacked header is a plain one; a second packing is not made by
  // any archiver.
  Cursor inner = {unpacked.data(), unpacked.size()};
  if (TakeNumber(&inner) != kHeader) return ARCHIVE_CHECK_UNSUPPORTED;
  return WalkPlainHeader(&inner);
}
