// Reading zip archives: the end record, the central directory, and the
// data of stored and deflated members. Single-disk archives only; nothing
// is ever written to an archive.
//
// Every failure that the user should know of gives one report, a text
// "Error in zipfile <name>\n<reason>\n" that the caller writes to standard
// output, so that in dump mode it lands in the catalog being written,
// between the dump lines. The reader itself prints nothing.
#ifndef ROMTOOL_ZIP_READER_H_
#define ROMTOOL_ZIP_READER_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "core/file_load.h"
#include "core/read_source.h"

// The reasons a report gives.
extern const char kZipFilesystemCorrupt[];  // "Your filesystem seems to ..."
extern const char kZipCorrupt[];            // "The zipfile seems to be ..."
extern const char kZipUnsupported[];        // "The format of this zipfile ..."

// One decoded central directory entry: the nineteen fixed fields in the
// order and widths of the format, then the member name.
struct ZipEntry {
  uint32_t signature;
  uint8_t versionMadeBy;
  uint8_t hostSystem;
  uint8_t versionNeeded;  // tens of the version: 20 means 2.0
  uint8_t systemNeeded;
  uint16_t bitFlags;
  uint16_t method;  // 0 stored, 8 deflated
  uint16_t modTime;
  uint16_t modDate;
  uint32_t crc32;  // as recorded; never verified here
  uint32_t compressedSize;
  uint32_t uncompressedSize;
  uint16_t fileNameLength;
  uint16_t extraLength;
  uint16_t fileCommentLength;
  uint16_t diskStart;
  uint16_t internalAttributes;
  uint32_t externalAttributes;
  uint32_t localHeaderOffset;
  // The member name, byte for byte. The caller may change its characters
  // in place but not its length.
  std::string fileName;
};

// One open archive, from ZipOpen to ZipClose.
struct ZipArchive {
  std::string archiveName;  // the path given to ZipOpen; reports name it
  SourcePtr source;
  std::string report;       // the report of the last call that failed, or ""
  uint32_t fileLength = 0;  // always below 2 GiB
  // The end record and as much of its comment as the file holds.
  std::unique_ptr<unsigned char[]> endRecord;
  uint32_t endRecordLength = 0;
  std::unique_ptr<unsigned char[]> centralDir;  // the whole directory
  uint32_t centralDirPos = 0;  // offset of the next entry to decode
  ZipEntry current = {};       // the entry ZipNextEntry last returned
  // The bytes of the members read so far, from each local header to the
  // end of its data, by where they start.
  std::map<uint64_t, uint64_t> readRanges;
  // The end record's fields.
  uint32_t endSignature = 0;
  uint16_t diskNumber = 0;
  uint16_t centralDirDisk = 0;
  uint16_t diskEntries = 0;
  uint16_t totalEntries = 0;
  uint32_t centralDirSize = 0;
  uint32_t centralDirOffset = 0;
  uint16_t archiveCommentLength = 0;
  const unsigned char* archiveComment = nullptr;  // into endRecord
};

// The report "Error in zipfile %s\n%s\n" for `archiveName` and `reason`,
// control characters of the name written as \xNN.
std::string ZipReportText(const char* reason, const std::string& archiveName);

// Opens the archive at `path` with `open`: finds the end record, checks
// it, and loads the whole central directory. Returns the new archive,
// positioned before its first entry; or null with its report in `*report`
// (empty when memory ran out), with everything released. Archives of
// 2 GiB or more are refused as not supported.
ZipArchive* ZipOpen(const SourceOpener& open, const std::string& path, std::string* report);

// Decodes the next directory entry into `archive->current` and returns a
// pointer to it, valid until the next call or ZipClose. Returns null when
// the directory is exhausted (no report) or the entry's fixed part and name
// run past the directory (a report in `archive->report`; the position
// stays on that entry).
ZipEntry* ZipNextEntry(ZipArchive* archive);

// Reads the member of `entry` (the entry just returned by ZipNextEntry)
// into `buffer`, which is grown to its uncompressed size only once the
// sizes have been found plausible. Returns
//    0  the member's uncompressedSize bytes are in `buffer`;
//   -1  the local header or the member data was not found or not read;
//   -2  the member uses something unsupported (method, version, system,
//       disk);
//   -3  the member's sizes disagree or cannot be true, its bytes overlap
//       those of a member read before, or its deflated data is bad;
//   -4  no memory for the member (no report).
// Results -1 to -3 leave a report in `archive->report`. After a failure the buffer's
// bytes are unspecified; the archive stays usable for further entries.
int ZipReadEntry(ZipArchive* archive, const ZipEntry* entry,
                 FileBuffer* buffer);

// Closes the archive and releases everything it holds. `archive` must not
// be null and is dead afterwards.
void ZipClose(ZipArchive* archive);

#endif  // ROMTOOL_ZIP_READER_H_
