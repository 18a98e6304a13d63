// Moving identified files into the catalog's folder, or into "dupes".
//
// Every move goes through PlatformMoveFile, which never replaces a file:
// whatever the catalog says, no file is ever overwritten or lost.
#ifndef CORE_PLACEMENT_H_
#define CORE_PLACEMENT_H_

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "core/catalog.h"
#include "core/file_result.h"

// Returns 1 when `name`, taken from a catalog or the command line, may be
// used as the name of a file or folder in the current one: it is not
// empty, "." or "..", holds no path character (which would lead out of
// the folder) and no control character, is no longer than a file system
// allows one name (255 bytes: a longer one would have to be cut, and cut
// names of different games could meet), and the platform does not
// reserve it. Returns 0 otherwise.
int FileNameIsSafe(const std::string& name);

// What a preview has planned so far: the targets it would fill, the
// folders it would make, and the files it would move away.
struct PreviewPlan {
  std::set<std::string> targets, folders, movedAway;
  std::map<std::string, bool> foldsCase;  // by folder, asked once
};

// Where a run places identified files, made by the driver for the run.
struct Placement {
  std::string folder = "ren";  // receives the first file of each entry
  bool preview = false;        // plan the moves, make none
  PreviewPlan plan;
  int moveMethod = 0;          // a MoveMethod of the platform: kMoveBest
  // What became of the files placed (or planned): for the summary.
  uint64_t intoFolder = 0, intoDupes = 0, unmatched = 0, refused = 0;
};

// Places an identified file under `name`, the name of its catalog entry,
// whose taken flag is `*taken`: the first file of an entry goes into
// `placement->folder`; a later file, or one whose first move fails, goes
// into "dupes" with numbered retries (the target's last character replaced
// by "0" to "9"). A name that is not safe is refused with one line on
// standard error and the file stays where it is; so does a file that no
// move could place, with a line that says why.
//
// With `addExtension`, the file's extension is added to `name` unless the
// name already ends with exactly that extension; without it, `name` is
// the whole new name.
//
// In a preview nothing is moved or created: each move that would succeed,
// judged against the files there and the moves planned before, is planned
// instead and written to standard output as
// "<name of the file> -> <folder>/<new name>\n", always with "/".
//
// The file must still be `identity` (when known) when it is moved: a file
// swapped in meanwhile is left, with a message.
void PlaceCatalogMatch(Placement* placement, const std::string& sourcePath,
                       const FileIdentity& identity, unsigned char* taken,
                       const std::string& name, bool addExtension = true);

// Whether a preview planned to move the file `sourcePath` away, so that a
// later walk of the same run would no longer find it.
bool PlacementPlannedAway(const Placement& placement, const std::string& sourcePath);

// The names of the files in the folder of `placement` in `directory`,
// listed once, for a missing list: an entry that an earlier run placed
// there is not missing. Empty when there is no such folder.
std::set<std::string> ListPlacedNames(const Placement& placement, const std::string& directory);

// Whether `names` holds `name`, or `name` followed by one more extension,
// as a sort names a file whose extension the catalog name lacks.
bool HoldsPlacedName(const std::set<std::string>& names, const std::string& name);

// Looks the CRC-32s of `result` up in the catalog of `Entry`, in order,
// and places the file by the first entry that lists one of them; does
// nothing without one.
template <class Entry>
void PlaceIdentifiedFile(Placement* placement, const FileResult& result) {
  for (int i = 0; i < result.lookups.count; ++i) {
    Entry* entry = CatalogFindByCrc<Entry>(result.lookups.crc[i]);
    if (entry == nullptr) continue;
    PlaceCatalogMatch(placement, result.path, result.identity, &entry->taken, CatalogEntryName(*entry));
    return;
  }
  ++placement->unmatched;
}

#endif  // CORE_PLACEMENT_H_
