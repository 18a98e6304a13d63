#include "romtool/archive_reader.h"

#include <archive.h>
#include <archive_entry.h>

#include <cstring>
#include <memory>
#include <new>

#include "core/paths.h"
#include "core/platform.h"
#include "core/text.h"
#include "romtool/archive_checks.h"

const char kArchiveCorrupt[] = "The archive seems to be corrupt, please check it";
const char kArchiveUnsupported[] =
    "The format of this archive is not supported, please recompress it";
const char kArchiveEncrypted[] = "The archive is encrypted, which is not supported";
const char kArchiveMultiVolume[] =
    "The archive is one part of several, which is not supported";
const char kArchiveTooLarge[] =
    "The archive unpacks to more than 1032 times its size, please check it";
const char kArchiveMemberTooLarge[] =
    "A member of the archive holds 4 GiB or more, which is not supported";
const char kArchiveDictionary[] =
    "The archive needs more than 256 MiB to unpack, please recompress it";

struct PackedArchive {
  std::string name;
  ArchiveKind kind = ARCHIVE_NONE;
  ReadSource* source = nullptr;
  struct archive* reader = nullptr;
  uint64_t offset = 0;  // of the next byte libarchive reads
  std::unique_ptr<unsigned char[]> piece;    // what libarchive reads
  std::unique_ptr<unsigned char[]> scratch;  // where passed-over members go
  struct archive_entry* entry = nullptr;     // the current member
  uint64_t unpackedMost = 0;  // what all members may unpack to
  uint64_t unpacked = 0;      // what they have so far
  bool memberRead = true;     // the current member's data is taken
};

namespace {

constexpr size_t kPiece = 64 * 1024;

struct Ending {
  const char* text;
  ArchiveKind kind;
};
const Ending kEndings[] = {{".7z", ARCHIVE_SEVENZIP}, {".rar", ARCHIVE_RAR},
                           {".tar", ARCHIVE_TAR},     {".gz", ARCHIVE_GZIP},
                           {".tgz", ARCHIVE_GZIP},    {".bz2", ARCHIVE_BZIP2},
                           {".xz", ARCHIVE_XZ}};

bool EndsWith(const char* name, size_t length, const char* ending) {
  size_t size = std::strlen(ending);
  if (length < size) return false;
  for (size_t i = 0; i < size; ++i) {
    if (AsciiLower(static_cast<unsigned char>(name[length - size + i])) != ending[i]) return false;
  }
  return true;
}

std::string Report(const std::string& name, const char* reason) {
  return "Error in archive " + Printable(name) + "\n" + reason + "\n";
}

la_ssize_t ReadPiece(struct archive* reader, void* data, const void** piece) {
  PackedArchive* archive = static_cast<PackedArchive*>(data);
  size_t got = 0;
  std::string error;
  // Nothing is read past the end: a read that could only fail there would
  // be taken for the end by some of libarchive's readers.
  if (archive->offset >= archive->source->Size()) return 0;
  if (!archive->source->ReadAt(archive->offset, archive->piece.get(), kPiece, &got, &error)) {
    archive_set_error(reader, EIO, "%s", error.c_str());
    return -1;
  }
  archive->offset += got;
  *piece = archive->piece.get();
  return static_cast<la_ssize_t>(got);
}

la_int64_t SeekTo(struct archive*, void* data, la_int64_t offset, int whence) {
  PackedArchive* archive = static_cast<PackedArchive*>(data);
  const uint64_t size = archive->source->Size();
  uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? archive->offset : size;
  if (offset < 0 && static_cast<uint64_t>(-offset) > base) return ARCHIVE_FATAL;
  archive->offset = base + static_cast<uint64_t>(offset);
  return static_cast<la_int64_t>(archive->offset);
}

la_int64_t SkipAhead(struct archive*, void* data, la_int64_t request) {
  PackedArchive* archive = static_cast<PackedArchive*>(data);
  const uint64_t size = archive->source->Size();
  uint64_t left = archive->offset < size ? size - archive->offset : 0;
  uint64_t step = static_cast<uint64_t>(request) < left ? static_cast<uint64_t>(request) : left;
  archive->offset += step;
  return static_cast<la_int64_t>(step);
}

// Lets `reader` read only what an archive of `kind` may be; never a
// compression through an outside program.
int EnableFormats(struct archive* reader, ArchiveKind kind) {
  switch (kind) {
    case ARCHIVE_SEVENZIP: return archive_read_support_format_7zip(reader) == ARCHIVE_OK;
    case ARCHIVE_RAR:
      return archive_read_support_format_rar(reader) == ARCHIVE_OK &&
             archive_read_support_format_rar5(reader) == ARCHIVE_OK;
    case ARCHIVE_TAR: return archive_read_support_format_tar(reader) == ARCHIVE_OK;
    default: break;
  }
  int filter = kind == ARCHIVE_GZIP    ? archive_read_support_filter_gzip(reader)
               : kind == ARCHIVE_BZIP2 ? archive_read_support_filter_bzip2(reader)
                                       : archive_read_support_filter_xz(reader);
  return filter == ARCHIVE_OK && archive_read_support_format_tar(reader) == ARCHIVE_OK &&
         archive_read_support_format_raw(reader) == ARCHIVE_OK;
}

// The compression a single compressed file of `kind` must have.
int ExpectedFilter(ArchiveKind kind) {
  return kind == ARCHIVE_GZIP    ? ARCHIVE_FILTER_GZIP
         : kind == ARCHIVE_BZIP2 ? ARCHIVE_FILTER_BZIP2
         : kind == ARCHIVE_XZ    ? ARCHIVE_FILTER_XZ
                                 : ARCHIVE_FILTER_NONE;
}

// The report for a failure of libarchive's.
std::string FailureReport(PackedArchive* archive) {
  if (archive->reader == nullptr) return std::string();
  if (archive_errno(archive->reader) == ENOMEM) return std::string();
  // Asked only of a format that was recognised: libarchive answers it
  // through the format's own functions.
  if (archive_format(archive->reader) != 0 &&
      archive_read_has_encrypted_entries(archive->reader) > 0) {
    return Report(archive->name, kArchiveEncrypted);
  }
  // libarchive tells what it cannot read ("Unsupported ...", "... is
  // unsupported", "... not supported") only in its message.
  const char* said = archive_error_string(archive->reader);
  if (said != nullptr && (std::strstr(said, "nsupported") != nullptr ||
                          std::strstr(said, "not supported") != nullptr)) {
    return Report(archive->name, kArchiveUnsupported);
  }
  return Report(archive->name, kArchiveCorrupt);
}

const char* CheckReason(int verdict) {
  switch (verdict) {
    case ARCHIVE_CHECK_UNSUPPORTED: return kArchiveUnsupported;
    case ARCHIVE_CHECK_ENCRYPTED: return kArchiveEncrypted;
    case ARCHIVE_CHECK_MULTIVOLUME: return kArchiveMultiVolume;
    case ARCHIVE_CHECK_DICTIONARY: return kArchiveDictionary;
    case ARCHIVE_CHECK_TOO_LARGE: return kArchiveTooLarge;
    default: return kArchiveCorrupt;
  }
}

// The name of the one file that the compressed file `path` holds: its
// own, without its folder or the compression's ending.
std::string SingleMemberName(const std::string& path) {
  size_t slash = path.rfind(PlatformSeparator());
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

// Counts `bytes` more unpacked. Returns 1; 0, with the report, past what
// the archive may unpack to.
int CountUnpacked(PackedArchive* archive, uint64_t bytes, std::string* report) {
  archive->unpacked += bytes;
  if (archive->unpacked <= archive->unpackedMost) return 1;
  *report = Report(archive->name, kArchiveTooLarge);
  return 0;
}

// Unpacks the rest of the current member and throws it away: a member
// that is passed over counts against the bound like one that is read.
int DrainMember(PackedArchive* archive, std::string* report) {
  archive->memberRead = true;
  for (;;) {
    la_ssize_t got = archive_read_data(archive->reader, archive->scratch.get(), kPiece);
    if (got == 0) return 1;
    if (got < 0) {
      *report = FailureReport(archive);
      return 0;
    }
    if (!CountUnpacked(archive, static_cast<uint64_t>(got), report)) return 0;
  }
}

// Grows `buffer` to `size` bytes, keeping its first `used` ones.
int GrowKeeping(FileBuffer* buffer, size_t used, size_t size) {
  std::unique_ptr<unsigned char[]> kept = std::move(buffer->bytes);
  buffer->capacity = 0;
  if (!FileBufferReserve(buffer, size)) return 0;
  if (used > 0) std::memcpy(buffer->bytes.get(), kept.get(), used);
  return 1;
}

// The size to grow a buffer of `capacity` bytes to, at most `most`; 0
// when it may not grow.
uint64_t NextCapacity(uint64_t capacity, uint64_t most) {
  if (capacity >= most) return 0;
  uint64_t want = capacity < (1u << 20) ? (1u << 20) : capacity * 2;
  return want < most ? want : most;
}

// Reads what is left of the current member into `buffer`, which holds
// `*used` of it in `*capacity` bytes, growing it up to `most`. Returns 1; 0
// with the report (empty when memory ran out).
int ReadRest(PackedArchive* archive, FileBuffer* buffer, size_t* used, size_t* capacity,
             uint64_t most, std::string* report) {
  for (;;) {
    if (*used == *capacity) {
      uint64_t grown = NextCapacity(*capacity, most);
      if (grown == 0) {
        *report = Report(archive->name, kArchiveMemberTooLarge);
        return 0;
      }
      if (!GrowKeeping(buffer, *used, static_cast<size_t>(grown))) return 0;
      *capacity = static_cast<size_t>(grown);
    }
    la_ssize_t got =
        archive_read_data(archive->reader, buffer->bytes.get() + *used, *capacity - *used);
    if (got == 0) return 1;
    if (got < 0) {
      *report = FailureReport(archive);
      return 0;
    }
    if (!CountUnpacked(archive, static_cast<uint64_t>(got), report)) return 0;
    *used += static_cast<size_t>(got);
  }
}

}  // namespace

ArchiveKind ArchiveKindOfName(const char* name) {
  const size_t length = std::strlen(name);
  for (const Ending& ending : kEndings) {
    if (EndsWith(name, length, ending.text)) return ending.kind;
  }
  return ARCHIVE_NONE;
}

std::string ArchiveEnding(const std::string& path) {
  const std::string extension = ExtensionOfLastComponent(path);
  const std::string inner = ExtensionOfLastComponent(path.substr(0, path.size() - extension.size()));
  const char* last = extension.c_str();
  const bool compressed = EndsWith(last, extension.size(), ".gz") ||
                          EndsWith(last, extension.size(), ".bz2") ||
                          EndsWith(last, extension.size(), ".xz");
  const bool tar = inner.size() == 4 && EndsWith(inner.c_str(), 4, ".tar");
  return compressed && tar ? inner + extension : extension;
}

PackedArchive* ArchiveOpen(ReadSource* source, const std::string& name, ArchiveKind kind,
                           std::string* report) {
  report->clear();
  int verdict = CheckArchiveBeforeUnpacking(source, kind);
  if (verdict != ARCHIVE_CHECK_OK) {
    *report = Report(name, CheckReason(verdict));
    return nullptr;
  }
  std::unique_ptr<PackedArchive> archive(new (std::nothrow) PackedArchive);
  if (!archive) return nullptr;
  archive->name = name;
  archive->kind = kind;
  archive->source = source;
  archive->unpackedMost = (source->Size() > 0 ? source->Size() : 1) * kArchiveMaxRatio;
  archive->piece.reset(new (std::nothrow) unsigned char[kPiece]);
  archive->scratch.reset(new (std::nothrow) unsigned char[kPiece]);
  archive->reader = archive_read_new();
  if (!archive->piece || !archive->scratch || archive->reader == nullptr || !EnableFormats(archive->reader, kind)) {
    ArchiveClose(archive.release());
    return nullptr;
  }
  archive_read_set_callback_data(archive->reader, archive.get());
  archive_read_set_read_callback(archive->reader, ReadPiece);
  archive_read_set_seek_callback(archive->reader, SeekTo);
  archive_read_set_skip_callback(archive->reader, SkipAhead);
  if (archive_read_open1(archive->reader) != ARCHIVE_OK) {
    *report = FailureReport(archive.get());
    ArchiveClose(archive.release());
    return nullptr;
  }
  return archive.release();
}

int ArchiveNextMember(PackedArchive* archive, std::string* member, std::string* report) {
  if (!archive->memberRead && !DrainMember(archive, report)) return -1;
  for (;;) {
    int result = archive_read_next_header(archive->reader, &archive->entry);
    if (result == ARCHIVE_EOF) return 0;
    if (result < ARCHIVE_WARN) {
      *report = FailureReport(archive);
      return -1;
    }
    if (archive_entry_is_encrypted(archive->entry)) {
      *report = Report(archive->name, kArchiveEncrypted);
      return -1;
    }
    // A name that promises compression must hold it, or its bytes would
    // pass for a member of their own.
    if (archive_filter_code(archive->reader, 0) != ExpectedFilter(archive->kind)) {
      *report = Report(archive->name, kArchiveCorrupt);
      return -1;
    }
    if (archive_entry_filetype(archive->entry) != AE_IFREG) continue;
    archive->memberRead = false;
    const char* name = archive_entry_pathname(archive->entry);
    *member = archive_format(archive->reader) == ARCHIVE_FORMAT_RAW ? SingleMemberName(archive->name)
              : name != nullptr                                     ? name
                                                                    : "";
    return 1;
  }
}

int ArchiveReadMember(PackedArchive* archive, FileBuffer* buffer, uint32_t* length,
                      std::string* report) {
  archive->memberRead = true;
  report->clear();
  // Lengths are 32-bit throughout, as for files read loose; one byte more
  // than a member's declared size finds its end without growing.
  const uint64_t most = (UINT32_MAX < SIZE_MAX ? UINT32_MAX : SIZE_MAX) - 1;
  size_t used = 0;
  size_t capacity = 0;
  if (archive_entry_size_is_set(archive->entry)) {
    const int64_t declared = archive_entry_size(archive->entry);
    if (declared < 0 || static_cast<uint64_t>(declared) > most) {
      *report = Report(archive->name, kArchiveMemberTooLarge);
      return 0;
    }
    capacity = static_cast<size_t>(declared) + 1;
    if (!FileBufferReserve(buffer, capacity)) return 0;
  }
  if (!ReadRest(archive, buffer, &used, &capacity, most, report)) return 0;
  *length = static_cast<uint32_t>(used);
  return 1;
}

void ArchiveClose(PackedArchive* archive) {
  if (archive->reader != nullptr) archive_read_free(archive->reader);
  delete archive;
}
