#include "romtool/zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <new>
#include <utility>

#include "core/text.h"

const char kZipFilesystemCorrupt[] =
    "Your filesystem seems to be corrupt, please check it";
const char kZipCorrupt[] = "The zipfile seems to be corrupt, please check it";
const char kZipUnsupported[] =
    "The format of this zipfile is not supported, please recompress it";

namespace {

// A failure of ZipOpen that prints nothing (memory ran out).
const char kNoReport[] = "";

const uint32_t kEndRecordSize = 22;
const uint32_t kEntryFixedSize = 46;
const uint32_t kLocalHeaderSize = 30;
const uint32_t kFirstPiece = 1024;
const uint32_t kSearchPiece = 65536;
// Larger archives are refused as not supported: the offsets the format
// records are 32 bits, and readers that take them as signed ones are
// common enough that no archive made for them goes past 2 GiB.
const uint64_t kLargestArchive = 0x7FFFFFFF;
// Deflate never turns one input byte into more than 1032 output bytes.
const uint64_t kDeflateMaxRatio = 1032;
const uint32_t kInflatePiece = 16384;

// Reads little-endian numbers from bytes held in memory. Each read checks
// the bytes against `size` first; a read that would pass it yields 0 and
// clears `ok`, so a decoder can check once after a run of reads.
struct ByteCursor {
  const unsigned char* data;
  uint32_t size;
  uint32_t pos;
  bool ok;
};

uint32_t TakeLittleEndian(ByteCursor* cursor, uint32_t width) {
  if (!cursor->ok || cursor->pos > cursor->size ||
      width > cursor->size - cursor->pos) {
    cursor->ok = false;
    return 0;
  }
  uint32_t value = 0;
  for (uint32_t i = 0; i < width; ++i) {
    value |= static_cast<uint32_t>(cursor->data[cursor->pos + i]) << (8 * i);
  }
  cursor->pos += width;
  return value;
}

uint8_t TakeU8(ByteCursor* cursor) {
  return static_cast<uint8_t>(TakeLittleEndian(cursor, 1));
}
uint16_t TakeU16(ByteCursor* cursor) {
  return static_cast<uint16_t>(TakeLittleEndian(cursor, 2));
}
uint32_t TakeU32(ByteCursor* cursor) { return TakeLittleEndian(cursor, 4); }

// Reads exactly `count` bytes at `offset` of the archive; a block of 0
// bytes counts as not delivered. Why a read failed is not told: the
// report says what it means for the archive.
int ReadBlock(ZipArchive* archive, uint64_t offset, unsigned char* block, uint32_t count) {
  std::string error;
  return count > 0 && ReadExactly(archive->source.get(), offset, block, count, &error);
}

// Sets the archive's report: "Error in zipfile <name>\n<reason>\n".
void SetReport(ZipArchive* archive, const char* reason) {
  archive->report = ZipReportText(reason, archive->archiveName);
}

bool IsEndSignature(const unsigned char* bytes) {
  return bytes[0] == 0x50 && bytes[1] == 0x4B && bytes[2] == 0x05 &&
         bytes[3] == 0x06;
}

// The last position below `count` in `piece` where an end-record signature
// starts, or -1. memchr finds the signature's first byte at several GB/s,
// so a large file without a signature is searched as fast as it is read.
long LastEndSignature(const unsigned char* piece, uint32_t count) {
  long last = -1;
  const unsigned char* end = piece + count;
  for (const unsigned char* p = piece;
       (p = static_cast<const unsigned char*>(std::memchr(p, 0x50, end - p))) != nullptr; ++p) {
    if (IsEndSignature(p)) last = p - piece;
  }
  return last;
}

// Keeps the end record at `position` and as much of the comment it
// declares as the file holds. Returns 0, or -1 when it cannot be read.
int KeepEndRecord(ZipArchive* archive, uint32_t position) {
  unsigned char fixed[kEndRecordSize];
  if (!ReadBlock(archive, position, fixed, kEndRecordSize)) return -1;
  // The comment may be cut short by the end of the file; it is never read.
  uint32_t declared = kEndRecordSize + (fixed[20] | fixed[21] << 8);
  uint32_t length = std::min(declared, archive->fileLength - position);
  archive->endRecord.reset(new (std::nothrow) unsigned char[length]);
  if (!archive->endRecord || !ReadBlock(archive, position, archive->endRecord.get(), length)) {
    return -1;
  }
  archive->endRecordLength = length;
  return 0;
}

// Finds the last end-record signature that leaves a whole record before
// the end of the file, searching backwards a piece at a time: most
// archives carry no comment, so the first small piece finds it; an
// archive behind other data is still found, with no more than a piece in
// memory. Returns 0 when the record is in `endRecord`, -1 otherwise.
int ZipFindEndRecord(ZipArchive* archive) {
  if (archive->fileLength < kEndRecordSize) return -1;
  std::unique_ptr<unsigned char[]> piece(new (std::nothrow)
                                             unsigned char[kSearchPiece + 3]);
  if (!piece) return -1;
  uint32_t size = kFirstPiece;
  // `top` is one past the candidates left: every position up to it leaves
  // room for a whole record.
  for (uint32_t top = archive->fileLength - kEndRecordSize + 1; top > 0;) {
    uint32_t low = top > size ? top - size : 0;
    // The three bytes after the highest candidate complete its signature.
    if (!ReadBlock(archive, low, piece.get(), top - low + 3)) return -1;
    long last = LastEndSignature(piece.get(), top - low);
    if (last >= 0) return KeepEndRecord(archive, low + static_cast<uint32_t>(last));
    top = low;
    size = kSearchPiece;
  }
  return -1;
}

// Opens the file with `open` and takes its length. Returns null, or the
// reason to report.
const char* OpenArchiveFile(ZipArchive* archive, const SourceOpener& open) {
  std::string error;
  archive->source = open(archive->archiveName, &error);
  if (!archive->source) return kZipFilesystemCorrupt;
  uint64_t size = archive->source->Size();
  if (size == 0) return kZipCorrupt;
  if (size > kLargestArchive) return kZipUnsupported;
  archive->fileLength = static_cast<uint32_t>(size);
  return nullptr;
}

// Finds and decodes the end record. Returns null, or the reason to report.
const char* LoadEndRecord(ZipArchive* archive) {
  if (ZipFindEndRecord(archive) != 0) return kZipCorrupt;
  ByteCursor cursor = {archive->endRecord.get(), archive->endRecordLength, 0,
                       true};
  archive->endSignature = TakeU32(&cursor);
  archive->diskNumber = TakeU16(&cursor);
  archive->centralDirDisk = TakeU16(&cursor);
  archive->diskEntries = TakeU16(&cursor);
  archive->totalEntries = TakeU16(&cursor);
  archive->centralDirSize = TakeU32(&cursor);
  archive->centralDirOffset = TakeU32(&cursor);
  archive->archiveCommentLength = TakeU16(&cursor);
  if (!cursor.ok) return kZipCorrupt;
  archive->archiveComment = archive->endRecord.get() + kEndRecordSize;
  if (archive->diskNumber != archive->centralDirDisk ||
      archive->diskEntries != archive->totalEntries ||
      archive->totalEntries == 0) {
    return kZipUnsupported;
  }
  return nullptr;
}

// Reads the whole central directory into memory with one read. Its place
// is checked against the file first, so a damaged end record never makes
// us allocate more than the file holds. Returns null, or the reason.
const char* LoadCentralDirectory(ZipArchive* archive) {
  uint64_t end = static_cast<uint64_t>(archive->centralDirOffset) +
                 archive->centralDirSize;
  if (archive->centralDirSize == 0 || end > archive->fileLength) return kZipCorrupt;
  archive->centralDir.reset(new (std::nothrow)
                                unsigned char[archive->centralDirSize]);
  if (!archive->centralDir) return kNoReport;
  if (!ReadBlock(archive, archive->centralDirOffset, archive->centralDir.get(),
                 archive->centralDirSize)) {
    return kZipCorrupt;
  }
  archive->centralDirPos = 0;
  return nullptr;
}

void DecodeEntryFields(ByteCursor* cursor, ZipEntry* entry) {
  entry->signature = TakeU32(cursor);
  entry->versionMadeBy = TakeU8(cursor);
  entry->hostSystem = TakeU8(cursor);
  entry->versionNeeded = TakeU8(cursor);
  entry->systemNeeded = TakeU8(cursor);
  entry->bitFlags = TakeU16(cursor);
  entry->method = TakeU16(cursor);
  entry->modTime = TakeU16(cursor);
  entry->modDate = TakeU16(cursor);
  entry->crc32 = TakeU32(cursor);
  entry->compressedSize = TakeU32(cursor);
  entry->uncompressedSize = TakeU32(cursor);
  entry->fileNameLength = TakeU16(cursor);
  entry->extraLength = TakeU16(cursor);
  entry->fileCommentLength = TakeU16(cursor);
  entry->diskStart = TakeU16(cursor);
  entry->internalAttributes = TakeU16(cursor);
  entry->externalAttributes = TakeU32(cursor);
  entry->localHeaderOffset = TakeU32(cursor);
}

// Finds where the member's data starts from its local header, whose own
// name and extra lengths may differ from the directory's. Returns 0 and
// the position in `dataOffset`, or -1 with a report.
int ZipLocateData(ZipArchive* archive, const ZipEntry* entry,
                  uint64_t* dataOffset) {
  unsigned char header[kLocalHeaderSize];
  if (entry->localHeaderOffset > archive->fileLength ||
      kLocalHeaderSize > archive->fileLength - entry->localHeaderOffset ||
      !ReadBlock(archive, entry->localHeaderOffset, header, kLocalHeaderSize)) {
    SetReport(archive, kZipCorrupt);
    return -1;
  }
  ByteCursor cursor = {header, kLocalHeaderSize, 26, true};
  uint16_t nameLength = TakeU16(&cursor);
  uint16_t extraLength = TakeU16(&cursor);
  *dataOffset = static_cast<uint64_t>(entry->localHeaderOffset) +
                kLocalHeaderSize + nameLength + extraLength;
  return 0;
}

// Records the bytes from `start` up to `end` as read. Returns 0 when they
// overlap bytes recorded before (nothing is recorded then), else 1.
int ClaimRange(ZipArchive* archive, uint64_t start, uint64_t end) {
  std::map<uint64_t, uint64_t>& ranges = archive->readRanges;
  auto next = ranges.lower_bound(start);
  if (next != ranges.end() && next->first < end) return 0;
  if (next != ranges.begin() && std::prev(next)->second > start) return 0;
  ranges.emplace_hint(next, start, end);
  return 1;
}

// Locates the member's data in `*dataOffset`, makes sure `compressedSize`
// bytes of it lie within the file, and grows `buffer` to the uncompressed
// size. Returns 0, or the read's failure result.
int PrepareMemberRead(ZipArchive* archive, const ZipEntry* entry, FileBuffer* buffer,
                      uint64_t* dataOffset) {
  if (ZipLocateData(archive, entry, dataOffset) != 0) return -1;
  const uint64_t start = *dataOffset;
  // A member whose bytes overlap those of one read before is refused:
  // archives made by real tools never share data, and members that do are
  // made to inflate one stream over and over.
  if (start + entry->compressedSize > archive->fileLength ||
      !ClaimRange(archive, entry->localHeaderOffset, start + entry->compressedSize)) {
    SetReport(archive, kZipCorrupt);
    return -3;
  }
  if (!FileBufferReserve(buffer, entry->uncompressedSize)) return -4;
  return 0;
}

// Feeds the member's compressed bytes, from `offset` of `source`, to
// `inflater` in pieces until the deflate stream ends, an error comes up,
// or the bytes run out. `remaining` counts the bytes not yet read.
// Returns inflate's last result.
int InflatePieces(z_stream* inflater, ReadSource* source, uint64_t offset,
                  unsigned char* input, uint32_t* remaining) {
  int status = Z_BUF_ERROR;
  while (*remaining > 0) {
    uint32_t wanted = std::min(*remaining, kInflatePiece);
    std::string error;
    size_t got = 0;
    // Nothing read means no progress is possible: stop rather than spin.
    if (!source->ReadAt(offset, input, wanted, &got, &error) || got == 0) return Z_BUF_ERROR;
    offset += got;
    *remaining -= static_cast<uint32_t>(got);
    inflater->next_in = input;
    inflater->avail_in = static_cast<uInt>(got);
    if (*remaining == 0) {
      // zlib may want to look one byte past the data to see the stream's
      // end; give it a defined byte rather than whatever the buffer held.
      input[got] = 0;
      inflater->avail_in = static_cast<uInt>(got + 1);
    }
    status = inflate(inflater, Z_NO_FLUSH);
    if (status != Z_OK) return status;
  }
  return status;
}

// Inflates exactly `compressedSize` bytes of raw deflate data from
// `offset` of `source` into exactly `uncompressedSize` bytes of `output`.
// Returns 0 on success, -1 otherwise.
int ZipInflateMember(ReadSource* source, uint64_t offset, uint32_t compressedSize,
                     unsigned char* output, uint32_t uncompressedSize) {
  z_stream inflater = {};
  inflater.next_in = Z_NULL;
  inflater.avail_in = 0;
  inflater.next_out = output;
  inflater.avail_out = uncompressedSize;
  if (inflateInit2(&inflater, -15) != Z_OK) return -1;
  std::unique_ptr<unsigned char[]> input(new (std::nothrow)
                                             unsigned char[kInflatePiece + 1]);
  uint32_t remaining = compressedSize;
  int status = Z_BUF_ERROR;
  if (input && remaining > 0) {
    status = InflatePieces(&inflater, source, offset, input.get(), &remaining);
  }
  int ended = inflateEnd(&inflater);
  int exact = inflater.avail_out == 0 && remaining == 0;
  return status == Z_STREAM_END && ended == Z_OK && exact ? 0 : -1;
}

int ReadStoredMember(ZipArchive* archive, const ZipEntry* entry,
                     FileBuffer* buffer) {
  if (entry->compressedSize != entry->uncompressedSize) {
    SetReport(archive, kZipCorrupt);
    return -3;
  }
  uint64_t dataOffset = 0;
  int prepared = PrepareMemberRead(archive, entry, buffer, &dataOffset);
  if (prepared != 0) return prepared;
  if (!ReadBlock(archive, dataOffset, buffer->bytes.get(), entry->compressedSize)) {
    SetReport(archive, kZipCorrupt);
    return -1;
  }
  return 0;
}

int ReadDeflatedMember(ZipArchive* archive, const ZipEntry* entry,
                       FileBuffer* buffer) {
  if (entry->versionNeeded > 20 || entry->systemNeeded != 0 ||
      entry->diskStart != archive->diskNumber) {
    SetReport(archive, kZipUnsupported);
    return -2;
  }
  if (entry->uncompressedSize > kDeflateMaxRatio * entry->compressedSize) {
    SetReport(archive, kZipCorrupt);
    return -3;
  }
  uint64_t dataOffset = 0;
  int prepared = PrepareMemberRead(archive, entry, buffer, &dataOffset);
  if (prepared != 0) return prepared;
  if (ZipInflateMember(archive->source.get(), dataOffset, entry->compressedSize,
                       buffer->bytes.get(), entry->uncompressedSize) != 0) {
    SetReport(archive, kZipCorrupt);
    return -3;
  }
  return 0;
}

}  // namespace

std::string ZipReportText(const char* reason, const std::string& archiveName) {
  return "Error in zipfile " + Printable(archiveName) + "\n" + reason + "\n";
}

ZipArchive* ZipOpen(const SourceOpener& open, const std::string& path, std::string* report) {
  report->clear();
  std::unique_ptr<ZipArchive> archive(new (std::nothrow) ZipArchive);
  if (!archive) return nullptr;
  archive->archiveName = path;
  const char* reason = OpenArchiveFile(archive.get(), open);
  if (reason == nullptr) reason = LoadEndRecord(archive.get());
  if (reason == nullptr) reason = LoadCentralDirectory(archive.get());
  if (reason != nullptr) {
    if (reason != kNoReport) *report = ZipReportText(reason, path);
    return nullptr;
  }
  return archive.release();
}

ZipEntry* ZipNextEntry(ZipArchive* archive) {
  archive->report.clear();
  uint32_t size = archive->centralDirSize;
  uint32_t pos = archive->centralDirPos;
  if (pos >= size) return nullptr;
  // Decoded aside, so that a malformed entry leaves the archive as it was.
  ZipEntry decoded = {};
  ByteCursor cursor = {archive->centralDir.get(), size, pos, true};
  DecodeEntryFields(&cursor, &decoded);
  if (!cursor.ok || decoded.fileNameLength > size - cursor.pos) {
    SetReport(archive, kZipCorrupt);
    return nullptr;
  }
  const unsigned char* name = archive->centralDir.get() + cursor.pos;
  decoded.fileName.assign(reinterpret_cast<const char*>(name),
                          decoded.fileNameLength);
  archive->current = std::move(decoded);
  ZipEntry* entry = &archive->current;
  // An extra field or comment running past the directory ends the walk at
  // the next call, since the position then lies at or past its end.
  archive->centralDirPos = pos + kEntryFixedSize + entry->fileNameLength +
                           entry->extraLength + entry->fileCommentLength;
  return entry;
}

int ZipReadEntry(ZipArchive* archive, const ZipEntry* entry,
                 FileBuffer* buffer) {
  archive->report.clear();
  if (entry->method == 0) return ReadStoredMember(archive, entry, buffer);
  if (entry->method == 8) return ReadDeflatedMember(archive, entry, buffer);
  SetReport(archive, kZipUnsupported);
  return -2;
}

void ZipClose(ZipArchive* archive) { delete archive; }
