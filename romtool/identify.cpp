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
#include "romtool/archive_reader.h"
#include "romtool/dat_reader.h"
#include "romtool/normalizers.h"
#include "romtool/zip_reader.h"

namespace {

// The CRC-32 of the `count` bytes from `start` of `image`, `length` bytes
// whose CRC-32 is `whole`; 0 for a range that is empty or does not fit. A
// range that runs to the end is worked out from the checksum of the bytes
// before it, without another pass over the rest.
uint32_t RangeChecksum(const unsigned char* image, uint32_t length, uint32_t start,
                       uint32_t count, uint32_t whole) {
  if (count == 0 || count > length || start > length - count) return 0;
  if (start + count < length) return Crc32Compute(image, count, start, 0);
  return Crc32Combine(Crc32Compute(image, start, 0, 0), whole, count);
}

// The CRC-32s that rename mode looks an image up by, added to `lookups`
// in order: of the whole content, of the range the normalizer of `type`
// selects, and of what follows a header found by the content. Returns the
// normalizer's, the one a dump lists.
uint32_t ChecksumForLookups(unsigned char* image, uint32_t length, int type,
                            CrcLookups* lookups) {
  const uint32_t whole = Crc32Compute(image, length, 0, 0);
  uint32_t start = length;
  uint32_t count = kHeaderNormalizers[type](image, &start);
  // The Genesis normalizer rearranges the image in place: its range is
  // checksummed anew, and what it holds is no longer the file's content.
  const bool rearranged = type == ROMTYPE_SMD && count != 0;
  uint32_t normalized = rearranged ? Crc32Compute(image, count, start, 0)
                                   : RangeChecksum(image, length, start, count, whole);
  AddCrcLookup(lookups, whole);
  AddCrcLookup(lookups, normalized);
  if (!rearranged) {
    uint32_t restStart = length;
    uint32_t rest = FindHeaderByContent(image, &restStart);
    AddCrcLookup(lookups, RangeChecksum(image, length, restStart, rest, whole));
  }
  return normalized;
}

// The CRC-32 of the range that the normalizer of `type` selects; in rename
// mode (with `lookups`) also what to look the image up by.
uint32_t ChecksumImage(unsigned char* image, uint32_t length, int type,
                       CrcLookups* lookups) {
  if (lookups != nullptr) return ChecksumForLookups(image, length, type, lookups);
  uint32_t start = length;
  uint32_t count = kHeaderNormalizers[type](image, &start);
  return Crc32Compute(image, count, start, 0);
}

uint32_t IdentifyPlainFile(const SourceOpener& open, const std::string& path, const char* extension,
                           CrcLookups* lookups, FileIdentity* identity) {
  if (!PatternListAccepts(extension)) return 0;
  int type = RomTypeFromExtension(extension);
  FileBuffer* buffer = ReusableFileBuffer();
  uint32_t length = 0;
  if (!LoadFile(open, path, buffer, &length, identity)) return 0;
  return ChecksumImage(buffer->bytes.get(), length, type, lookups);
}

// A member that could not be read gives 0: its checksum is unknown, and a
// checksum is never computed over bytes that were not read.
uint32_t ChecksumMember(ZipArchive* archive, const ZipEntry* entry, int type,
                        FileBuffer* buffer, CrcLookups* lookups) {
  int result = ZipReadEntry(archive, entry, buffer);
  if (result == -4) {
    Say(stderr, "\nErr: Unable to read file %s\n",
                 Printable(archive->archiveName).c_str());
  }
  if (!archive->report.empty()) Say(stdout, "%s", archive->report.c_str());
  if (result != 0) return 0;
  return ChecksumImage(buffer->bytes.get(), entry->uncompressedSize, type, lookups);
}

// The last accepted member decides, with what to look it up by in rename
// mode (with `lookups`). Members that need no normalizer are identified by
// the CRC-32 the directory records, without reading them.
uint32_t IdentifyArchive(const SourceOpener& open, const std::string& path, CrcLookups* lookups,
                         FileIdentity* identity) {
  std::string report;
  ZipArchive* archive = ZipOpen(open, path, &report);
  if (archive == nullptr) {
    if (!report.empty()) Say(stdout, "%s", report.c_str());
    return 0;
  }
  *identity = archive->source->Identity();
  uint32_t crc = 0;
  CrcLookups member;
  while (ZipEntry* entry = ZipNextEntry(archive)) {
    const char* extension = FindExtension(entry->fileName.c_str());
    if (extension == nullptr || !PatternListAccepts(extension)) continue;
    int type = RomTypeFromExtension(extension);
    member = CrcLookups();
    crc = type == ROMTYPE_PLAIN ? entry->crc32
                                : ChecksumMember(archive, entry, type, ReusableFileBuffer(),
                                                 lookups != nullptr ? &member : nullptr);
    if (type == ROMTYPE_PLAIN) AddCrcLookup(&member, crc);
  }
  // A directory entry that ended the walk left its report.
  if (!archive->report.empty()) Say(stdout, "%s", archive->report.c_str());
  ZipClose(archive);
  if (lookups != nullptr) *lookups = member;
  return crc;
}

// Says the report of an archive that failed; one that failed for want of
// memory has none, and is named on standard error instead.
void SayArchiveFailure(const std::string& report, const std::string& path) {
  if (!report.empty()) {
    Say(stdout, "%s", report.c_str());
  } else {
    Say(stderr, "\nErr: Unable to read file %s\n", Printable(path).c_str());
  }
}

// An archive other than zip: the last accepted member decides, as in a zip
// archive, but every accepted member is read, since only its bytes say
// what it is. Any failure leaves the archive unidentified, after its
// report.
uint32_t IdentifyPackedArchive(const SourceOpener& open, const std::string& path, ArchiveKind kind,
                               CrcLookups* lookups, FileIdentity* identity) {
  std::string report;
  SourcePtr source = open(path, &report);
  if (!source) {
    Say(stderr, "\nErr: Unable to open file %s\n", Printable(path).c_str());
    return 0;
  }
  *identity = source->Identity();
  PackedArchive* archive = ArchiveOpen(source.get(), path, kind, &report);
  if (archive == nullptr) {
    SayArchiveFailure(report, path);
    return 0;
  }
  uint32_t crc = 0;
  CrcLookups member;
  std::string name;
  int more = 0;
  while ((more = ArchiveNextMember(archive, &name, &report)) == 1) {
    const char* extension = FindExtension(name.c_str());
    if (extension == nullptr || !PatternListAccepts(extension)) continue;
    int type = RomTypeFromExtension(extension);
    FileBuffer* buffer = ReusableFileBuffer();
    uint32_t length = 0;
    if (!ArchiveReadMember(archive, buffer, &length, &report)) {
      more = -1;
      break;
    }
    member = CrcLookups();
    crc = ChecksumImage(buffer->bytes.get(), length, type, lookups != nullptr ? &member : nullptr);
  }
  ArchiveClose(archive);
  if (more < 0) {
    SayArchiveFailure(report, path);
    return 0;
  }
  if (lookups != nullptr) *lookups = member;
  return crc;
}

}  // namespace

void IdentifyRomFile(const RunState& run, const std::string& foundName, FileResult* result) {
  const char* extension = FindExtension(foundName.c_str());
  if (extension == nullptr) return;
  if (!BuildPath(run.directory.c_str(), foundName.c_str(), &result->path)) return;
  CrcLookups* lookups = (run.flags & RUN_RENAME) != 0 ? &result->lookups : nullptr;
  const bool zip = ExtensionMatches(extension, ".zip") != 0;
  const ArchiveKind kind = zip ? ARCHIVE_NONE : ArchiveKindOfName(foundName.c_str());
  result->archive = zip || kind != ARCHIVE_NONE;
  if (zip) {
    result->crc = IdentifyArchive(run.open, result->path, lookups, &result->identity);
  } else if (kind != ARCHIVE_NONE) {
    result->crc = IdentifyPackedArchive(run.open, result->path, kind, lookups, &result->identity);
  } else {
    result->crc = IdentifyPlainFile(run.open, result->path, extension, lookups, &result->identity);
  }
  if (result->crc == 0 || !(run.flags & RUN_DUMP)) return;
  // "%08x %s\n", written out: formatting costs more than a small file. A
  // plain file's extension is listed in lower case; an archive's name as
  // it is.
  static const char kDigits[] = "0123456789abcdef";
  result->dumpLine.resize(9);
  for (int i = 0; i < 8; ++i) result->dumpLine[i] = kDigits[(result->crc >> (28 - 4 * i)) & 0xF];
  result->dumpLine[8] = ' ';
  size_t extensionAt = result->dumpLine.size() + (extension - foundName.c_str());
  result->dumpLine.append(foundName).push_back('\n');
  if (result->archive) return;
  for (size_t i = extensionAt; i + 1 < result->dumpLine.size(); ++i) {
    result->dumpLine[i] = static_cast<char>(AsciiLower(static_cast<unsigned char>(result->dumpLine[i])));
  }
}
