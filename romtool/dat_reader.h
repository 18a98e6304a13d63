// The ROM tool's catalog: the .dat file, in the tool's own dump layout (a
// pattern line, then "%08x %s" lines), in the sectioned layout whose
// records follow "[GAMES]" and hold fields separated by the byte 0xAC, or
// as Logiqx XML or ClrMamePro text (romtool/xml_catalog.h,
// romtool/cmp_catalog.h), told apart by how the file starts.
#ifndef ROMTOOL_DAT_READER_H_
#define ROMTOOL_DAT_READER_H_

#include <cstddef>
#include <cstdint>

#include "core/run.h"

// One catalogued ROM image.
struct RomEntry {
  // The line layouts cut names to kLineNameWidth bytes. A published
  // catalog's names are kept whole up to kNameWidth: one longer than a
  // file system allows is refused when a file matches it, never cut.
  static constexpr size_t kNameWidth = 4096;
  static constexpr size_t kLineNameWidth = 100;
  uint32_t crc;          // the lookup key
  uint32_t nameAt;       // the catalogued name, in the catalog's pool
  uint32_t gameAt;       // the name of its game, in the pool (published catalogs)
  uint16_t nameLength;
  uint16_t gameLength;
  unsigned char taken;   // set once a file has been placed under this entry
  // From an XML or ClrMamePro catalog: a file takes the name as it stands,
  // an archive its game's name and its own extension.
  unsigned char asCatalogued;
};

// Reads `run.systemName` followed by ".dat", opened with `run.open`, into
// the catalog of RomEntry, and builds the pattern list from the file when
// none exists yet (echoing it; "*.*" for the layouts that name no
// patterns). A file whose first bytes, after a UTF-8 byte order mark and
// white space, are "<?xml" or "<datafile" is read as XML; one that starts
// with a word and "(", such as "clrmamepro (" or "game (", after any lines
// that start with "#", as ClrMamePro text; any other in the line layouts.
// Returns the number of entries appended; 0 when the file cannot be
// opened, is empty, or holds no record; 0, with the reason in `*said`,
// when a read fails, the memory for the catalog runs out, or a published
// catalog is not well-formed or gives no entry. Lines about names passed
// over go to `*said` too.
uint32_t LoadRomCatalog(const RunState& run, std::string* said);

// Writes each entry that no file took as a record line "%08x %s\n" of the
// tool's own layout, in load order, after the pattern line that the load
// echoed: together a catalog of what is still missing. Returns how many
// entries a file took, and their number in `total`.
uint32_t WriteMissingRoms(const RunState& run, uint32_t* total);

// Places the file of `result` by the first of its CRC-32s that the
// catalog lists: by the rule of the core's placement for an entry of the
// line layouts; under the name as catalogued, or for an archive its
// game's name and the archive's own extension, for an entry of a
// published catalog.
void PlaceRomFile(Placement* placement, const FileResult& result);

#endif  // ROMTOOL_DAT_READER_H_
