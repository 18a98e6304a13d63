// Moving identified files into the catalog's folder, or into "dupes".
//
// Every move goes through PlatformMoveFile, which never replaces a file:
// whatever the catalog says, no file is ever overwritten or lost.
#ifndef CORE_PLACEMENT_H_
#define CORE_PLACEMENT_H_

#include <cstdint>
#include <string>

#include "core/catalog.h"
#include "core/run.h"

// Returns 1 when `name`, taken from a catalog or the command line, may be
// used as the name of a file or folder in the current one: it is not
// empty, "." or "..", holds no path character (which would lead out of
// the folder) and no control character, is no longer than a file system
// allows one name (255 bytes: a longer one would have to be cut, and cut
// names of different games could meet), and the platform does not
// reserve it. Returns 0 otherwise.
int FileNameIsSafe(const std::string& name);

// Returns 1 when `directory` followed by `folderName` exists (as anything)
// or could be created as a folder; 0 otherwise, with the reason in
// `failure` when it is given. `directory` ends with the path separator.
int EnsureFolder(const std::string& directory, const char* folderName,
                 std::string* failure = nullptr);

// Moves the file `sourcePath` into `folderName` (created beside it; null
// keeps the file's folder) under `newName` (null keeps its name), adding
// the file's extension unless the new name already ends with exactly that
// extension. With `numbered`, a failed move is retried with the target's
// last character replaced by "0" to "9". Returns 0 when the first attempt
// succeeded, otherwise -1 (also when a numbered retry succeeded). When the
// file was not moved at all and `failure` is given, it receives the reason.
int PlaceFile(const std::string& sourcePath, const char* folderName,
              const char* newName, bool numbered,
              std::string* failure = nullptr);

// Places an identified file under `name`, the name of its catalog entry,
// whose taken flag is `*taken`: the first file of an entry goes into the
// folder of the kept system name ("ren" without one); a later file, or one
// whose first move fails, goes into "dupes" with numbered retries. A name
// that is not safe is refused with one line on standard error and the file
// stays where it is; so does a file that no move could place, with a line
// that says why.
//
// With `preview`, nothing is moved or created: each move that would
// succeed, judged against the files there and the moves planned before,
// is planned instead and written to standard output as
// "<name of the file> -> <folder>/<new name>\n", always with "/".
//
// With `addExtension`, the file's extension is added to `name` unless the
// name already ends with exactly that extension; without it, `name` is
// the whole new name.
void PlaceCatalogMatch(const std::string& sourcePath, unsigned char* taken,
                       const std::string& name, bool preview = false,
                       bool addExtension = true);

// Whether a preview planned to move the file `sourcePath` away, so that a
// later walk of the same run would no longer find it.
bool PlacementPlannedAway(const std::string& sourcePath);

// Looks the CRC-32s of `result` up in the catalog of `Entry`, in order,
// and places the file by the first entry that lists one of them (planning
// only, with RUN_PREVIEW in `flags`); does nothing without one.
template <class Entry>
void PlaceIdentifiedFile(const FileResult& result, int flags) {
  for (int i = 0; i < result.lookups.count; ++i) {
    Entry* entry = CatalogFindByCrc<Entry>(result.lookups.crc[i]);
    if (entry == nullptr) continue;
    PlaceCatalogMatch(result.path, &entry->taken, CatalogEntryName(*entry),
                      (flags & RUN_PREVIEW) != 0);
    return;
  }
}

#endif  // CORE_PLACEMENT_H_
