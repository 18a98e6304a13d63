// The zip reader on any bytes, walked the way the ROM tool walks an
// archive: open, every directory entry, and a read of every member. The
// reader opens archives by path, so each input is written to one file of a
// private folder first. Declared sizes must never drive an allocation past
// what the file could hold: run with -malloc_limit_mb to catch one.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/crc32.h"
#include "core/file_load.h"
#include "fuzz/fuzz_support.h"
#include "romtool/zip_reader.h"

namespace {

std::string g_archivePath;

// Reads the member of `entry` and checksums what the read delivered, so
// that a buffer shorter than the member shows up as a sanitizer report.
void ReadMember(ZipArchive* archive, const ZipEntry* entry,
                FileBuffer* buffer) {
  int result = ZipReadEntry(archive, entry, buffer);
  FUZZ_CHECK(result >= -4 && result <= 0);
  if (result != 0) return;
  FUZZ_CHECK(buffer->capacity >= entry->uncompressedSize);
  Crc32Compute(buffer->bytes.get(), entry->uncompressedSize, 0, 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SilenceStandardOutput();
  Crc32InitTable();
  g_archivePath = FuzzScratchDir() + "/input.zip";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FUZZ_CHECK(WriteWholeFile(g_archivePath, data, size));
  ZipArchive* archive = ZipOpen(g_archivePath.c_str());
  if (archive == nullptr) return 0;
  FUZZ_CHECK(archive->endRecordLength >= 22);
  FUZZ_CHECK(archive->fileLength == size);
  FileBuffer buffer;
  uint32_t previousPos = 0;
  while (const ZipEntry* entry = ZipNextEntry(archive)) {
    // The walk only moves forward, by at least one fixed entry part.
    FUZZ_CHECK(archive->centralDirPos >= previousPos + 46);
    previousPos = archive->centralDirPos;
    FUZZ_CHECK(entry->fileName.size() == entry->fileNameLength);
    ReadMember(archive, entry, &buffer);
  }
  ZipClose(archive);
  return 0;
}
