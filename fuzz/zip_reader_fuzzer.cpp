// The zip reader on any bytes, walked as the ROM tool walks an archive:
// open, every directory entry, a read of every member. Run it with
// -malloc_limit_mb: no declared size may drive an allocation past what the
// file could hold.
#include "core/crc32.h"
#include "fuzz/fuzz_support.h"
#include "romtool/zip_reader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Crc32InitTable();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string report;
  ZipArchive* archive = ZipOpen(RunOnBytes(data, size).open, "input.zip", &report);
  if (archive == nullptr) return 0;
  FUZZ_CHECK(archive->fileLength == size && archive->endRecordLength >= 22);
  FileBuffer buffer;
  for (uint32_t previous = 0; const ZipEntry* entry = ZipNextEntry(archive);) {
    // The walk only moves forward, by at least a whole fixed part.
    FUZZ_CHECK(archive->centralDirPos >= previous + 46 && entry->fileName.size() == entry->fileNameLength);
    previous = archive->centralDirPos;
    int result = ZipReadEntry(archive, entry, &buffer);
    // Every failure but a lack of memory says what went wrong.
    FUZZ_CHECK(result >= -4 && result <= 0);
    FUZZ_CHECK((result == 0 || result == -4) == archive->report.empty());
    // A buffer shorter than the member would show as a sanitizer report.
    if (result == 0) Crc32Compute(buffer.bytes.get(), entry->uncompressedSize, 0, 0);
  }
  ZipClose(archive);
  return 0;
}
