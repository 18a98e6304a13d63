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

// Whether standard error, or output, is a terminal (a console on Windows).
int PlatformStderrIsTerminal();
int PlatformStdoutIsTerminal();

// The width of the terminal of standard error in characters; 80 where it
// cannot be told.
size_t PlatformTerminalWidth();

// The size of the file `path` after following links, or 0.
uint64_t PlatformFileSize(const std::string& path);

// The machine's memory in bytes, or 0 where it cannot be told.
uint64_t PlatformPhysicalMemory();

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

// What a file is, whatever names it has: its device and its number
// there. All 0 when it is not known.
struct FileIdentity {
  uint64_t device = 0, number = 0;
  bool Known() const { return device != 0 || number != 0; }
  bool operator==(const FileIdentity& other) const {
    return device == other.device && number == other.number;
  }
};

// Stores in `*identity` what `path` leads to, after following links.
// Returns 1; 0 when nothing (or a dangling link) is there.
int PlatformIdentity(const std::string& path, FileIdentity* identity);

// How PlatformMoveFile moves: by the system's own move that never
// replaces a file, where it has one (kMoveBest); or as where a file system
// refuses that move, finishing with a hard link (kMoveByLink) or, without
// hard links either, with an exclusive placeholder (kMoveOntoPlaceholder).
// Tests choose the others to prove them on any file system.
enum MoveMethod { kMoveBest, kMoveByLink, kMoveOntoPlaceholder };

// What PlatformMoveFile did.
enum MoveResult {
  MOVE_FAILED = 0,      // nothing moved (PlatformErrorText says why)
  MOVE_DONE = 1,
  MOVE_CHANGED = -1,    // `from` no longer held what `expected` names: left
  MOVE_UNRESOLVED = -2  // a link that would name nothing from `to`: left
};

// Moves the file `from` to `to` in a way that never replaces a file: an
// existing `to` makes it fail, and nothing is ever removed that was not
// first taken under a name of the move's own and checked to be what
// `expected` names (when known; for a symbolic link, the link read when
// the move began). A file that turns out to be another is given its name
// back and left, MOVE_CHANGED; when another took that name meanwhile, it
// stays under the taken name, stored in `*leftAs`. A symbolic link to a
// relative target is made anew to name the same file from its new place,
// counting from where the folders really are; where no text would, it is
// left, MOVE_UNRESOLVED.
int PlatformMoveFile(const std::string& from, const std::string& to, int method,
                     const FileIdentity& expected, std::string* leftAs);

// Whether a real move of the file `from` into the folder `folder` (which
// exists) could succeed: the folder is writable by this process and on the
// same file system as the file. 1 or 0.
int PlatformCanMoveInto(const std::string& from, const std::string& folder);

// Whether the file system of the folder `folder` (which exists) takes two
// names that differ only in letter case for the same name.
int PlatformFoldsCase(const std::string& folder);

// The longest name, in bytes, that one component of a path may have here.
size_t PlatformMaxNameLength();

// A file open for reading through PlatformOpenFile, or kNoFile.
typedef intptr_t PlatformFile;
const PlatformFile kNoFile = -1;

// Opens `path` for reading if it is a regular file, without ever blocking
// on a pipe or device that took its place, and stores its size in `size`.
// Returns the open file, or kNoFile (with `size` unchanged) when it cannot
// be opened or is not a regular file. The cheapest way to read a file.
// With `identity`, stores what the file is.
PlatformFile PlatformOpenFile(const char* path, uint64_t* size, FileIdentity* identity = nullptr);

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

// A name as a line of a plain, sectioned or .crc catalog spells it, as this
// system's file functions take it. The same bytes, but on Windows with
// UTF-8 names: bytes that are no UTF-8 come from a catalog written there
// before, in Windows-1252, and are turned into UTF-8.
std::string PlatformNameFromCatalogBytes(const std::string& bytes);

// Turns `utf8`, a name as a UTF-8 catalog spells it, into a name as this
// system's file functions take it, in `name`: the same bytes where names
// are UTF-8, the ANSI code page's bytes on Windows. Returns 1 on success;
// 0 when the name is not valid UTF-8 there or holds a character that the
// code page cannot spell (a stand-in character could name another file).
int PlatformNameFromUtf8(const std::string& utf8, std::string* name);

#endif  // CORE_PLATFORM_H_
