#include "romtool/identify.h"

#include <cstdio>
#include <string>

#include "core/crc32.h"
#include "core/file_load.h"
#include "core/output.h"
#include "core/paths.h"
#include "core/patterns.h"
#include "core/placement.h"
#include "core/run.h"
#include "core/text.h"
#include "romtool/dat_reader.h"
#include "romtool/normalizers.h"
#include "romtool/zip_reader.h"

namespace {

// The CRC-32 of the range that the normalizer of `type` selects.
uint32_t ChecksumImage(unsigned char* image, uint32_t length, int type) {
  uint32_t start = length;
  uint32_t count = kHeaderNormalizers[type](image, &start);
  return Crc32Compute(image, count, start, 0);
}

uint32_t IdentifyPlainFile(const std::string& path, char* extension) {
  if (!PatternListAccepts(extension)) return 0;
  int type = RomTypeFromExtension(extension);
  FileBuffer* buffer = ReusableFileBuffer();
  uint32_t length = 0;
  if (!LoadFile(path, buffer, &length)) return 0;
  return ChecksumImage(buffer->bytes.get(), length, type);
}

// A member that could not be read gives 0: its checksum is unknown, and a
// checksum is never computed over bytes that were not read.
uint32_t ChecksumMember(ZipArchive* archive, const ZipEntry* entry, int type,
                        FileBuffer* buffer) {
  int result = ZipReadEntry(archive, entry, buffer);
  if (result == -4) {
    Say(stderr, "\nErr: Unable to read file %s\n",
                 Printable(archive->archiveName).c_str());
  }
  if (result != 0) return 0;
  return ChecksumImage(buffer->bytes.get(), entry->uncompressedSize, type);
}

// The last accepted member decides. Members that need no normalizer are
// identified by the CRC-32 the directory records, without reading them.
uint32_t IdentifyArchive(const std::string& path) {
  ZipArchive* archive = ZipOpen(path.c_str());
  if (archive == nullptr) return 0;
  uint32_t crc = 0;
  while (ZipEntry* entry = ZipNextEntry(archive)) {
    char* extension = FindExtension(&entry->fileName[0]);
    if (extension == nullptr || !PatternListAccepts(extension)) continue;
    int type = RomTypeFromExtension(extension);
    crc = type == ROMTYPE_PLAIN ? entry->crc32
                                : ChecksumMember(archive, entry, type,
                                                 ReusableFileBuffer());
  }
  ZipClose(archive);
  return crc;
}

}  // namespace

void IdentifyRomFile(std::string foundName, const char* directory, int flags,
                     FileResult* result) {
  char* extension = FindExtension(&foundName[0]);
  if (extension == nullptr) return;
  if (!BuildPath(directory, foundName.c_str(), &result->path)) return;
  result->crc = ExtensionMatches(extension, ".zip") != 0
                    ? IdentifyArchive(result->path)
                    : IdentifyPlainFile(result->path, extension);
  if (result->crc == 0 || !(flags & RUN_DUMP)) return;
  // "%08x %s\n", written out: formatting costs more than a small file.
  static const char kDigits[] = "0123456789abcdef";
  result->dumpLine.resize(9);
  for (int i = 0; i < 8; ++i) result->dumpLine[i] = kDigits[(result->crc >> (28 - 4 * i)) & 0xF];
  result->dumpLine[8] = ' ';
  result->dumpLine.append(foundName).push_back('\n');
}
