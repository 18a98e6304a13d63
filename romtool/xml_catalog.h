// The .dat catalog as Logiqx XML: a root "datafile" (or "mame") holding
// "game" (or "machine") elements, each with "rom" elements whose
// attributes name an image and give its CRC-32. Parsed by expat, fed in
// pieces of 64 KiB, so that the file is never held whole.
#ifndef ROMTOOL_XML_CATALOG_H_
#define ROMTOOL_XML_CATALOG_H_

#include <cstdint>
#include <string>

#include "core/read_source.h"

// Reads the XML catalog `source` named `fileName`. Appends to the catalog
// of RomEntry one entry per "rom" child of a game that has a "crc"
// attribute and no status="nodump", in document order, named as the rom
// names it or after its game, and builds the index. Any other element (a
// header, a disk, a sample, a description) and any other root give
// nothing. Returns the number of entries; 0, with the catalog empty and
// the reason in `*said`, when a read fails, the file is not well-formed,
// holds a "crc" that is not 1 to 8 hex digits, declares an entity or
// refers to an unknown one (so no entity beyond XML's five is ever
// expanded), holds a piece of markup over 1 MiB, gives no entry, or when
// the memory runs out. Lines about names passed over go to `*said` too.
uint32_t LoadXmlCatalog(ReadSource* source, const std::string& fileName, std::string* said);

#endif  // ROMTOOL_XML_CATALOG_H_
