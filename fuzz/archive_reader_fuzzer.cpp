// The reader of archives other than zip on any bytes, walked as the ROM
// tool walks one: open, every member, a read of every other one (the rest
// passed over, as unaccepted members are). The kind comes from the bytes'
// own signature, so that the archives of the tests seed every reader.
#include <cstring>

#include "core/crc32.h"
#include "fuzz/fuzz_support.h"
#include "romtool/archive_reader.h"

namespace {

ArchiveKind KindOfBytes(const uint8_t* data, size_t size) {
  struct Signature {
    const char* bytes;
    size_t length;
    ArchiveKind kind;
  };
  static const Signature kSignatures[] = {{"7z\xBC\xAF", 4, ARCHIVE_SEVENZIP},
                                          {"Rar!", 4, ARCHIVE_RAR},
                                          {"\x1F\x8B", 2, ARCHIVE_GZIP},
                                          {"BZh", 3, ARCHIVE_BZIP2},
                                          {"\xFD" "7zXZ", 5, ARCHIVE_XZ}};
  for (const Signature& signature : kSignatures) {
    if (size >= signature.length && std::memcmp(data, signature.bytes, signature.length) == 0) {
      return signature.kind;
    }
  }
  return ARCHIVE_TAR;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Crc32InitTable();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SourcePtr source = MemorySource(std::string(reinterpret_cast<const char*>(data), size));
  std::string report, member;
  PackedArchive* archive = ArchiveOpen(source.get(), "input", KindOfBytes(data, size), &report);
  if (archive == nullptr) return 0;
  FileBuffer buffer;
  uint64_t unpacked = 0;
  bool read = false;
  while (ArchiveNextMember(archive, &member, &report) == 1) {
    read = !read;
    uint32_t length = 0;
    if (!read) continue;
    if (!ArchiveReadMember(archive, &buffer, &length, &report)) break;
    // All members together stay within the bound on what an archive may
    // unpack to; a buffer shorter than the member shows as a sanitizer report.
    unpacked += length;
    FUZZ_CHECK(unpacked <= (size > 0 ? size : 1) * kArchiveMaxRatio);
    Crc32Compute(buffer.bytes.get(), length, 0, 0);
  }
  ArchiveClose(archive);
  return 0;
}
