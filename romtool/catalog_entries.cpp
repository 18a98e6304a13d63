#include "romtool/catalog_entries.h"

#include <algorithm>
#include <cstdio>

#include "core/catalog.h"
#include "core/platform.h"
#include "core/text.h"
#include "romtool/dat_reader.h"

namespace {

// The value of the hex digit `c`, or -1.
int HexDigit(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}  // namespace

int ParseCatalogCrc(const char* text, size_t length, uint32_t* crc) {
  if (length == 0 || length > 8) return 0;
  uint32_t value = 0;
  for (size_t i = 0; i < length; ++i) {
    int digit = HexDigit(static_cast<unsigned char>(text[i]));
    if (digit < 0) return 0;
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  *crc = value;
  return 1;
}

void StartCatalogGame(CatalogGame* game, const std::string& utf8Name) {
  game->utf8Name = utf8Name;
  game->kept = game->spelled = false;
}

namespace {

// Keeps the game's name in the pool at its first rom. Returns 1; 0 when
// the memory runs out.
int KeepGameName(CatalogGame* game) {
  if (game->kept) return 1;
  std::string name;
  game->spelled = PlatformNameFromUtf8(game->utf8Name, &name) != 0;
  if (!game->spelled) name.clear();
  game->length = static_cast<uint16_t>(std::min(name.size(), RomEntry::kNameWidth));
  if (!CatalogKeepText<RomEntry>(name.data(), game->length, &game->at)) return 0;
  game->kept = true;
  return 1;
}

// Like an unsafe name: the files it would take stay where they are.
int RefuseUnspelledName(const std::string& utf8Name, std::string* said) {
  *said += "Err: Refused catalog name \"" + Printable(utf8Name) +
           "\" that this system cannot spell\n";
  return 1;
}

}  // namespace

int AppendCatalogRom(CatalogGame* game, const std::string& utf8Name, uint32_t crc,
                     std::string* said) {
  if (!KeepGameName(game)) return 0;
  RomEntry entry = {};
  entry.crc = crc;
  entry.asCatalogued = 1;
  entry.gameAt = game->at;
  entry.gameLength = game->length;
  if (utf8Name.empty()) {
    if (!game->spelled) return RefuseUnspelledName(game->utf8Name, said);
    entry.nameAt = game->at;
    entry.nameLength = game->length;
    return CatalogAppendEntry(entry);
  }
  std::string name;
  if (!PlatformNameFromUtf8(utf8Name, &name)) return RefuseUnspelledName(utf8Name, said);
  entry.nameLength = static_cast<uint16_t>(std::min(name.size(), RomEntry::kNameWidth));
  if (!CatalogKeepText<RomEntry>(name.data(), entry.nameLength, &entry.nameAt)) return 0;
  return CatalogAppendEntry(entry);
}

uint32_t ReportEmptyCatalog(const std::string& fileName, int shape, std::string* said) {
  const char* why = "lists no rom with a CRC-32";
  if (shape == EMPTY_SOFTWARE_LIST) why = "is a software list, which Tessary does not sort by";
  if (shape == EMPTY_ROMS_IN_FOLDERS) why = "keeps its roms in folders, which Tessary does not sort by";
  *said += "\nErr: Catalog " + Printable(fileName) + " " + why + "\n";
  return 0;
}

uint32_t RefuseMalformedCatalog(const std::string& fileName, unsigned long line,
                                std::string* said) {
  CatalogClear<RomEntry>();
  *said += "\nErr: Catalog " + Printable(fileName) + " is not well-formed at line " +
           std::to_string(line) + "\n";
  return 0;
}
