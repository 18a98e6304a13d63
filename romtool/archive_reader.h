// Reading the archives other than zip that collections come in (7z, RAR,
// tar, and gzip, bzip2 or xz files, a tar or a single image compressed)
// through libarchive. Nothing is ever written to an archive, and no name
// in one is ever used as a path on disk.
//
// Every failure that the user should know of gives one report, a text
// "Error in archive <name>\n<reason>\n" that the caller writes to standard
// output, where zip archives report theirs. The reader itself prints
// nothing.
#ifndef ROMTOOL_ARCHIVE_READER_H_
#define ROMTOOL_ARCHIVE_READER_H_

#include <cstdint>
#include <string>

#include "core/file_load.h"
#include "core/read_source.h"

// The kinds of archive, found by a name's ending.
enum ArchiveKind {
  ARCHIVE_NONE = 0,
  ARCHIVE_SEVENZIP,  // .7z
  ARCHIVE_RAR,       // .rar, RAR 4 and 5
  ARCHIVE_TAR,       // .tar
  ARCHIVE_GZIP,      // .gz, .tgz: a tar or a single file, compressed
  ARCHIVE_BZIP2,     // .bz2
  ARCHIVE_XZ,        // .xz
};

// The kind of archive `name` is, by its ending, without regard to case.
ArchiveKind ArchiveKindOfName(const char* name);

// The ending that an archive of the name `path` keeps when it is renamed:
// its extension, or both of a compressed tar's (".tar.gz", ".tar.bz2",
// ".tar.xz"), in the letter case they have.
std::string ArchiveEnding(const std::string& path);

// The reasons a report gives.
extern const char kArchiveCorrupt[];      // "The archive seems to be corrupt, ..."
extern const char kArchiveUnsupported[];  // "The format of this archive is ..."
extern const char kArchiveEncrypted[];    // "The archive is encrypted, ..."
extern const char kArchiveMultiVolume[];  // "The archive is one part of several, ..."
extern const char kArchiveTooLarge[];     // "The archive unpacks to more than ..."
extern const char kArchiveDictionary[];   // "The archive needs more than ... to unpack, ..."
extern const char kArchiveMemberTooLarge[];  // "A member of the archive holds 4 GiB ..."

// What unpacking one archive may cost: its members together at most this
// many times the archive's size, and no member of 4 GiB or more (as for
// files read loose).
constexpr uint64_t kArchiveMaxRatio = 1032;

struct PackedArchive;

// Opens the archive `name` of kind `kind` on `source` (which must outlive
// it). Returns it, before its first member; or null with the report in
// `*report` (empty when memory ran out).
PackedArchive* ArchiveOpen(ReadSource* source, const std::string& name, ArchiveKind kind,
                           std::string* report);

// Moves to the next member that is a regular file and stores its name in
// `*member` (for a single compressed file, the archive's name without its
// compression ending). Returns 1; 0 at the end; -1 after a failure, with
// the report in `*report`, after which the archive is of no further use.
int ArchiveNextMember(PackedArchive* archive, std::string* member, std::string* report);

// Unpacks the member just found into `buffer` and stores its length in
// `*length`. Returns 1; 0 after a failure, with the report in `*report`
// (empty when memory ran out), after which the archive is of no further
// use. A member that is not read is passed over by ArchiveNextMember.
int ArchiveReadMember(PackedArchive* archive, FileBuffer* buffer, uint32_t* length,
                      std::string* report);

// Closes the archive; `archive` is dead afterwards.
void ArchiveClose(PackedArchive* archive);

#endif  // ROMTOOL_ARCHIVE_READER_H_
