// The few operating-system services the tools need, behind one interface.
//
// Everything that differs between operating systems lives behind these
// functions: the path separator and length limit, the current directory,
// listing a folder by a wildcard pattern, testing for a name, creating a
// folder, moving a file without ever replacing another, and opening a
// regular file for reading. One implementation file per system provides
// them; the build picks the one for the target.
#ifndef CORE_PLATFORM_H_
#define CORE_PLATFORM_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Prepares the process for a run: on POSIX systems a reader that closed
// the standard output (`Tessary -d ... | head`) must not end the run, so
// writes to it fail quietly instead.
void PlatformPrepareProcess();

// The character that separates folders in a path.
char PlatformSeparator();

// The characters that make a name a path rather than a file name of the
// current folder: the separators, and on Windows the colon of a drive or
// of a data stream.
const char* PlatformPathCharacters();

// 1 when file names are UTF-8 here, so that a wildcard "?" and a numbered
// retry take whole characters; 0 when they are single bytes of a code page.
int PlatformNamesAreUtf8();

// A description of why the last failed platform call failed.
std::string PlatformErrorText();

// The longest path, in characters, that the tools build or accept.
size_t PlatformMaxPathLength();

// Stores the current directory, without a trailing separator, in `out`.
// Returns 1 on success; 0 when it cannot be read, leaving `out` empty.
int PlatformCurrentDirectory(std::string* out);

// Lists the folder named by the directory part of `pathPattern` (everything
// up to its last separator, or the current directory when there is none)
// and keeps the names that the last component matches by the wildcard
// rules of WildcardMatches. Only regular files are kept (after following
// links); names beginning with "." are never kept. The whole listing is
// taken before this returns, in the order in which the tools walk it.
// Returns 1 with the names in `names` (cleared first; empty when nothing
// matched), or 0 when the folder cannot be listed.
int PlatformListDirectory(const std::string& pathPattern,
                          std::vector<std::string>* names);

// Returns 1 when anything (file, folder, link) carries the name `path`.
int PlatformExists(const std::string& path);

// Returns 1 when the folder `folder` lies on a disk whose head seeks, so
// that reading several files at once would only make it seek between them;
// 0 for other disks and where the system cannot tell.
int PlatformOnRotationalDisk(const std::string& folder);

// How many more files this process may hold open at once, as far as the
// system tells; a large number where it sets no limit worth counting.
int PlatformFreeDescriptors();

// 1 when the last failed open failed for lack of descriptors or memory
// (which a user may remedy), 0 for any other reason.
int PlatformOpenFailedForLackOfResources();

// Returns 1 when `path` is a folder, after following links.
int PlatformIsFolder(const std::string& path);

// Creates the folder `path`. Returns 1 on success, 0 on failure.
int PlatformCreateFolder(const std::string& path);

// How PlatformMoveFile moves: by the system's own move that never
// replaces a file, where it has one (kMoveBest); or by one of the ways it
// takes where a file system refuses that move, which tests choose to
// prove them on any file system.
enum MoveMethod { kMoveBest, kMoveByLink, kMoveOntoPlaceholder };

// Moves the file `from` to `to` in one step that fails when `to` exists.
// An existing file is never replaced and a failed move leaves `from` where
// it was. A symbolic link keeps pointing at the same file from its new
// place. Returns 1 on success, 0 on failure.
int PlatformMoveFile(const std::string& from, const std::string& to, int method = kMoveBest);

// A file open for reading through PlatformOpenFile, or kNoFile.
typedef intptr_t PlatformFile;
const PlatformFile kNoFile = -1;

// Opens `path` for reading if it is a regular file, without ever blocking
// on a pipe or device that took its place, and stores its size in `size`.
// Returns the open file, or kNoFile (with `size` unchanged) when it cannot
// be opened or is not a regular file. The cheapest way to read a file.
PlatformFile PlatformOpenFile(const char* path, uint64_t* size);

// Reads up to `count` bytes at `offset` of `file` into `into`, fewer only
// where the file ends, and stores how many arrived in `*got`. Returns 1;
// 0 on a read error (PlatformErrorText says why).
int PlatformReadAt(PlatformFile file, uint64_t offset, unsigned char* into, size_t count,
                   size_t* got);

void PlatformCloseFile(PlatformFile file);

// 1 where the system's text files end their lines with a carriage return
// and a line feed and may end at a byte 0x1A, so that catalogs are read as
// its C library reads text: the carriage return before a line feed
// dropped, the text ended at 0x1A. 0 where text is the bytes as they are.
int PlatformTextModeTranslates();

// Extra rules of this system for catalog-supplied file names: returns 1
// when `name` must never be used as a file name here even though it holds
// no path character (for example a reserved device name), 0 otherwise.
int PlatformNameIsReserved(const char* name);

// Turns `utf8`, a name as a UTF-8 catalog spells it, into a name as this
// system's file functions take it, in `name`: the same bytes where names
// are UTF-8, the ANSI code page's bytes on Windows. Returns 1 on success;
// 0 when the name is not valid UTF-8 there or holds a character that the
// code page cannot spell (a stand-in character could name another file).
int PlatformNameFromUtf8(const std::string& utf8, std::string* name);

#endif  // CORE_PLATFORM_H_
