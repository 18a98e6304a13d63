// Moving identified files into the catalog's folder, or into "dupes".
//
// Every move goes through PlatformMoveFile, which never replaces a file:
// whatever the catalog says, no file is ever overwritten or lost.
#ifndef CORE_PLACEMENT_H_
#define CORE_PLACEMENT_H_

#include <cstdint>
#include <string>

#include "core/catalog.h"

// Returns 1 when `name`, taken from a catalog, may be used as a file name:
// it holds no "/" or "\" (which would lead out of the target folder) and
// the platform does not reserve it. Returns 0 otherwise.
int CatalogNameIsSafe(const std::string& name);

// Returns 1 when `directory` followed by `folderName` exists (as anything)
// or could be created as a folder; 0 otherwise. `directory` ends with the
// path separator.
int EnsureFolder(const std::string& directory, const char* folderName);

// Moves the file `sourcePath` into `folderName` (created beside it; null
// keeps the file's folder) under `newName` (null keeps its name), adding
// the file's extension unless the new name already ends with exactly that
// extension. With `numbered`, a failed move is retried with the target's
// last character replaced by "0" to "9". Returns 0 when the first attempt
// succeeded, otherwise -1 (also when a numbered retry succeeded).
int PlaceFile(const std::string& sourcePath, const char* folderName,
              const char* newName, bool numbered);

// Places an identified file under `name`, the name of its catalog entry,
// whose taken flag is `*taken`: the first file of an entry goes into the
// folder of the kept system name ("ren" without one); a later file, or one
// whose first move fails, goes into "dupes" with numbered retries. A name
// that is not safe is refused with one line on standard error and the file
// stays where it is.
void PlaceCatalogMatch(const std::string& sourcePath, unsigned char* taken,
                       const std::string& name);

// Looks `crc` up in the catalog of `Entry` and places the file
// `sourcePath` by the first entry that lists it; does nothing without one.
template <class Entry>
void PlaceIdentifiedFile(const std::string& sourcePath, uint32_t crc) {
  Entry* entry = CatalogFindByCrc<Entry>(crc);
  if (entry == nullptr) return;
  PlaceCatalogMatch(sourcePath, &entry->taken, CatalogName(entry->name));
}

#endif  // CORE_PLACEMENT_H_
