// Builds zip archives byte by byte for the tests, so that every
// field can be set to a value no archiver would write; and the reports the
// reader gives on archives it cannot use.
#ifndef TESTS_SUPPORT_ZIP_BUILDER_H_
#define TESTS_SUPPORT_ZIP_BUILDER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zipbuilder {

// One member: its local header, its data and its directory entry. The
// sizes and CRC-32 start out true (from zlib) and may be changed at will.
struct Member {
  std::string name;
  std::string data;  // the bytes stored in the archive after the header
  uint8_t versionNeeded = 20;
  uint8_t systemNeeded = 0;
  uint16_t bitFlags = 0;
  uint16_t method = 0;
  uint32_t crc32 = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint16_t diskStart = 0;
  std::string extra;           // in both headers
  std::string entryComment;    // in the directory entry only
  std::string localExtra;      // added to the local header only
  std::optional<uint32_t> localHeaderOffset;  // default: where it lies
  std::optional<uint16_t> nameLengthInEntry;  // default: name.size()
};

// A member holding `content` as is (method 0).
Member StoredMember(const std::string& name, const std::string& content);
// A member holding `content` as raw deflate data from zlib (method 8).
Member DeflatedMember(const std::string& name, const std::string& content);

// The whole archive; unset fields of the end record take their true value.
struct Archive {
  std::vector<Member> members;
  std::string comment;
  std::optional<uint16_t> commentLength;  // default: comment.size()
  uint16_t diskNumber = 0;
  uint16_t centralDirDisk = 0;
  std::optional<uint16_t> diskEntries;
  std::optional<uint16_t> totalEntries;
  std::optional<uint32_t> centralDirSize;
  std::optional<uint32_t> centralDirOffset;
};

std::string Build(const Archive& archive);

// zlib's raw deflate (no header, no check value) of `content`.
std::string RawDeflate(const std::string& content);

// The reasons the reader gives for an archive it cannot use, spelled out
// here rather than taken from the reader.
inline const char kFilesystemText[] =
    "Your filesystem seems to be corrupt, please check it";
inline const char kCorruptText[] =
    "The zipfile seems to be corrupt, please check it";
inline const char kUnsupportedText[] =
    "The format of this zipfile is not supported, please recompress it";

// The two lines of one report on the archive at `path`.
inline std::string Report(const std::string& path, const char* reason) {
  return "Error in zipfile " + path + "\n" + reason + "\n";
}

}  // namespace zipbuilder

#endif  // TESTS_SUPPORT_ZIP_BUILDER_H_
