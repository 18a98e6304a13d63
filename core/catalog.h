// The in-memory catalog: one process-wide store of entries in load order,
// their names in a pool beside them, and an index from CRC-32 to the first
// entry that carries it. Each tool instantiates it over its own entry
// type, which has the fields `taken` (a byte), `crc` (32 bits), `nameAt`
// (32 bits) and `nameLength` (an unsigned integer), and the constant
// kNameWidth: the most bytes of a name that the catalog keeps.
//
// Entries and names lie in blocks that never move, so a catalog costs
// about what its entries and names take, however it grew; a catalog file
// of short lines takes about twice its size in memory.
#ifndef CORE_CATALOG_H_
#define CORE_CATALOG_H_

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/block_array.h"
#include "core/crc_index.h"
#include "core/platform.h"
#include "core/text.h"

template <class Entry>
struct CatalogStore {
  BlockArray<Entry, 12> entries;
  BlockArray<char, 16> names;
  uint32_t size = 0;
  CrcIndex firstByCrc;  // built when the load ends
};

// The one catalog of each entry type. Starts empty, without storage; what
// it holds is released when the process exits.
template <class Entry>
inline CatalogStore<Entry> g_catalog;

// Keeps the `length` bytes of `text` in the catalog's pool, where entries
// added later can name them, and stores their position in `*at`. Returns
// 1 on success; 0 when the memory cannot be had.
template <class Entry>
int CatalogKeepText(const char* text, size_t length, uint32_t* at) {
  char* kept = g_catalog<Entry>.names.Append(static_cast<uint32_t>(length), at);
  if (kept == nullptr) return 0;
  if (length > 0) std::memcpy(kept, text, length);
  return 1;
}

// Copies `entry`, whose name the pool already keeps, to the end. Returns 1
// on success; 0 when the memory cannot be had (nothing is added).
template <class Entry>
int CatalogAppendEntry(const Entry& entry) {
  CatalogStore<Entry>& store = g_catalog<Entry>;
  uint32_t position = 0;
  Entry* slot = store.entries.Append(1, &position);
  if (slot == nullptr) return 0;
  *slot = entry;
  ++store.size;
  store.firstByCrc.Release();
  return 1;
}

// Copies `entry` to the end with the `length` bytes of `name` (followed by
// a NUL) as its name, cut to kNameWidth bytes between two characters.
// Returns 1 on success; 0 when the memory cannot be had (nothing is added).
template <class Entry>
int CatalogAppend(Entry entry, const char* name, size_t length) {
  size_t kept = CutToCharacters(name, length, Entry::kNameWidth, PlatformNamesAreUtf8() != 0);
  entry.nameLength = static_cast<decltype(entry.nameLength)>(kept);
  if (!CatalogKeepText<Entry>(name, entry.nameLength, &entry.nameAt)) return 0;
  return CatalogAppendEntry(entry);
}

template <class Entry>
uint32_t CatalogSize() {
  return g_catalog<Entry>.size;
}

// The entry at `position` (below CatalogSize) in load order.
template <class Entry>
Entry* CatalogEntry(uint32_t position) {
  return g_catalog<Entry>.entries.At(position);
}

// The `length` bytes of the pool from `at`, as CatalogKeepText kept them.
template <class Entry>
std::string CatalogText(uint32_t at, size_t length) {
  return length == 0 ? std::string() : std::string(g_catalog<Entry>.names.At(at), length);
}

// The name of an entry of the catalog.
template <class Entry>
std::string CatalogEntryName(const Entry& entry) {
  return CatalogText<Entry>(entry.nameAt, entry.nameLength);
}

// Returns the first entry in load order whose `crc` equals `crc`, or null.
// The entries are found through the index that CatalogFinishLoad builds;
// before it, nothing is found.
template <class Entry>
Entry* CatalogFindByCrc(uint32_t crc) {
  CatalogStore<Entry>& store = g_catalog<Entry>;
  if (!store.firstByCrc.Built()) return nullptr;
  uint32_t position = store.firstByCrc.Find(crc);
  return position == CrcIndex::kNone ? nullptr : CatalogEntry<Entry>(position);
}

// Calls `write(entry)` for each entry that no file took and that
// `placed(entry)` does not find placed already, in load order. Returns
// how many entries were found.
template <class Entry, class Placed, class Write>
uint32_t CatalogForEachMissing(Placed placed, Write write) {
  uint32_t found = 0;
  for (uint32_t i = 0; i < CatalogSize<Entry>(); ++i) {
    const Entry& entry = *CatalogEntry<Entry>(i);
    if (entry.taken || placed(entry)) ++found;
    else write(entry);
  }
  return found;
}

// Empties the catalog; the memory stays for reuse.
template <class Entry>
void CatalogClear() {
  g_catalog<Entry>.entries.Clear();
  g_catalog<Entry>.names.Clear();
  g_catalog<Entry>.size = 0;
  g_catalog<Entry>.firstByCrc.Release();
}

// Empties the catalog and releases its memory.
template <class Entry>
void CatalogRelease() {
  CatalogClear<Entry>();
  g_catalog<Entry>.entries.Release();
  g_catalog<Entry>.names.Release();
}

// Empties the catalog after its memory ran out, and adds to `*said` the
// line that says so for `fileName`: a catalog cut short could send files
// to the wrong names. Returns 0.
template <class Entry>
uint32_t CatalogRefuseForMemory(const std::string& fileName, std::string* said) {
  CatalogClear<Entry>();
  *said += "\nErr: Not enough memory for " + Printable(fileName) + "\n";
  return 0;
}

// Empties the catalog after a read of `fileName` failed for `reason`, and
// adds to `*said` the line that says so: the part read could send files
// to the wrong names, or miss them. Returns 0.
template <class Entry>
uint32_t CatalogRefuseUnread(const std::string& fileName, const std::string& reason,
                             std::string* said) {
  CatalogClear<Entry>();
  *said += "\nErr: Unable to read " + Printable(fileName) + ": " + reason + "\n";
  return 0;
}

// Returns 0 for the catalog `fileName` that could not be opened, adding to
// `*said` why when `reason` tells it (a missing file needs no words).
template <class Entry>
uint32_t CatalogRefuseUnopened(const std::string& fileName, const std::string& reason,
                               std::string* said) {
  if (!reason.empty()) *said += "\nErr: Unable to open " + Printable(fileName) + ": " + reason + "\n";
  return 0;
}

// Ends the load of `fileName`, all of which was read: indexes the entries,
// so that CatalogFindByCrc finds them. Returns their number; 0 by
// CatalogRefuseForMemory when the memory for the index cannot be had.
template <class Entry>
uint32_t CatalogFinishLoad(const std::string& fileName, std::string* said) {
  CatalogStore<Entry>& store = g_catalog<Entry>;
  uint32_t count = store.size;
  bool indexed = store.firstByCrc.Build(count, [](uint32_t i) { return CatalogEntry<Entry>(i)->crc; });
  if (count > 0 && !indexed) return CatalogRefuseForMemory<Entry>(fileName, said);
  return count;
}

#endif  // CORE_CATALOG_H_
