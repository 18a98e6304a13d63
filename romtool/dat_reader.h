// The ROM tool's catalog: the .dat file, in the tool's own dump layout (a
// pattern line, then "%08x %s" lines), in the sectioned layout whose
// records follow "[GAMES]" and hold fields separated by the byte 0xAC, or
// as Logiqx XML or ClrMamePro text (romtool/xml_catalog.h,
// romtool/cmp_catalog.h), told apart by how the file starts.
#ifndef ROMTOOL_DAT_READER_H_
#define ROMTOOL_DAT_READER_H_

#include <cstddef>
#include <cstdint>

// One catalogued ROM image.
struct RomEntry {
  static constexpr size_t kNameWidth = 100;  // longer names are cut
  uint32_t crc;          // the lookup key
  uint32_t nameAt;       // the catalogued name, in the catalog's pool
  uint8_t nameLength;
  unsigned char taken;   // set once a file has been placed under this entry
};

// Reads `systemName` followed by ".dat" from the current directory into
// the catalog of RomEntry, keeps a copy of `systemName` as the target
// folder, and builds the pattern list from the file when none exists yet
// (echoing it; "*.*" for the layouts that name no patterns). A file whose
// first bytes, after a UTF-8 byte order mark and white space, are "<?xml"
// or "<datafile" is read as XML; one that starts with "clrmamepro (" as
// ClrMamePro text; any other in the line layouts. Returns the number of
// entries appended; 0 when the file cannot be opened, is empty, or holds
// no record, and 0 after a message on standard error when the memory for
// the catalog runs out or a structured catalog is not well-formed.
uint32_t LoadRomCatalog(const char* systemName);

// Writes each entry that no file took as a record line "%08x %s\n" of the
// tool's own layout, in load order, after the pattern line that the load
// echoed: together a catalog of what is still missing. Returns how many
// entries a file took, and their number in `total`.
uint32_t WriteMissingRoms(const char* systemName, uint32_t* total);

#endif  // ROMTOOL_DAT_READER_H_
