// What the XML and ClrMamePro readers of the .dat catalog share: reading a
// CRC-32 value, storing one entry under its UTF-8 name, and refusing a
// catalog that is not well-formed.
#ifndef ROMTOOL_CATALOG_ENTRIES_H_
#define ROMTOOL_CATALOG_ENTRIES_H_

#include <cstddef>
#include <cstdint>
#include <string>

// Reads a CRC-32 written as 1 to 8 hex digits of either case, the `length`
// bytes at `text`, into `crc`. Returns 1; 0 for anything else (no digit,
// more than 8, a sign, a prefix, a space), leaving `crc` unchanged.
int ParseCatalogCrc(const char* text, size_t length, uint32_t* crc);

// The game whose roms a published catalog lists next. Its name is kept in
// the catalog's pool once, at its first rom, for all of them.
struct CatalogGame {
  std::string utf8Name;
  bool kept = false;
  bool spelled = false;  // this system can spell the name
  uint32_t at = 0;
  uint16_t length = 0;
};

// Makes `game` the game `utf8Name`, whose roms come next.
void StartCatalogGame(CatalogGame* game, const std::string& utf8Name);

// Appends to the catalog of RomEntry an entry for `crc` of `game` under
// `utf8Name`, or the game's name when it is empty (some catalogs name only
// the game), spelled for this system by PlatformNameFromUtf8. A name the
// system cannot spell adds nothing and is refused with one line added to
// `*said`. Returns 1 (appended or refused); 0 when the memory runs out.
int AppendCatalogRom(CatalogGame* game, const std::string& utf8Name, uint32_t crc,
                     std::string* said);

// Why a published catalog that was read whole gave no entry.
enum EmptyCatalogShape {
  EMPTY_NO_CRC,            // no rom with a CRC-32 (none, or hashes of other kinds)
  EMPTY_SOFTWARE_LIST,     // an emulator's software list
  EMPTY_ROMS_IN_FOLDERS,   // roms inside folders of a game
};

// Adds to `*said` the line that says why `fileName` gave no entry, which
// the "Error getting data." of the run follows. Returns 0.
uint32_t ReportEmptyCatalog(const std::string& fileName, int shape, std::string* said);

// Refuses `fileName` whole, found faulty at line `line`: empties the
// catalog and adds "\nErr: Catalog <file> is not well-formed at line N\n"
// to `*said`. Returns 0. Entries read before the fault go too: the rest
// of a broken catalog could send files to the wrong names.
uint32_t RefuseMalformedCatalog(const std::string& fileName, unsigned long line,
                                std::string* said);

#endif  // ROMTOOL_CATALOG_ENTRIES_H_
