#include "romtool/catalog_entries.h"

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

int AppendCatalogRom(const std::string& utf8Name, uint32_t crc) {
  std::string name;
  if (!PlatformNameFromUtf8(utf8Name, &name)) {
    // Like an unsafe name: the files it would take stay where they are.
    std::fprintf(stderr, "Err: Refused catalog name \"%s\" that this system cannot spell\n",
                 Printable(utf8Name).c_str());
    return 1;
  }
  RomEntry entry = {};
  entry.crc = crc;
  return CatalogAppend(entry, name.data(), name.size());
}

uint32_t RefuseMalformedCatalog(const std::string& fileName, unsigned long line) {
  CatalogClear<RomEntry>();
  std::fprintf(stderr, "\nErr: Catalog %s is not well-formed at line %lu\n",
               Printable(fileName).c_str(), line);
  return 0;
}
