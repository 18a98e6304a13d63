// The .dat catalog as Logiqx XML: a root "datafile" (or "mame") holding
// "game" (or "machine") elements, each with "rom" elements whose
// attributes name an image and give its CRC-32. Parsed by expat, fed in
// pieces of 64 KiB, so that the file is never held whole.
#ifndef ROMTOOL_XML_CATALOG_H_
#define ROMTOOL_XML_CATALOG_H_

#include <cstdint>
#include <cstdio>
#include <string>

// Reads the XML catalog `stream` (at its start, opened in binary mode)
// named `fileName`. Appends to the catalog of RomEntry one entry per "rom"
// child of a game that has a "crc" attribute and no status="nodump", in
// document order, and builds the index. Any other element (a header, a
// disk, a sample, a description) and any other root give nothing. Returns
// the number of entries; 0, with the catalog empty, after a message when
// the file is not well-formed, holds a "crc" that is not 1 to 8 hex
// digits, declares an entity or refers to an unknown one (so no entity
// beyond XML's five is ever expanded), holds a piece of markup over 1 MiB,
// or when the memory runs out.
uint32_t LoadXmlCatalog(std::FILE* stream, const std::string& fileName);

#endif  // ROMTOOL_XML_CATALOG_H_
