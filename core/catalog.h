// The in-memory catalog: one process-wide, growable array of fixed-layout
// entry records, in load order, with an index from CRC-32 to the first
// entry that carries it. Each tool instantiates it over its own entry
// type; the type needs the fields `taken` (a byte), `crc` (32 bits) and
// `name` (a fixed-width text that need not be terminated when full).
#ifndef CORE_CATALOG_H_
#define CORE_CATALOG_H_

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "core/crc_index.h"

template <class Entry>
struct CatalogStore {
  Entry* entries = nullptr;
  uint32_t size = 0;
  uint32_t capacity = 0;
  CrcIndex firstByCrc;  // position of the first entry of each CRC-32
  // Releasing the storage at process exit is the store's destructor.
  ~CatalogStore() { delete[] entries; }
};

// The one catalog of each entry type. Starts empty, without storage.
template <class Entry>
inline CatalogStore<Entry> g_catalog;

namespace catalog_internal {

// Moves the entries into new storage of exactly `capacity` entries.
// Returns 1 on success; 0 when the storage cannot be had (nothing changes).
template <class Entry>
int Regrow(uint32_t capacity) {
  CatalogStore<Entry>& store = g_catalog<Entry>;
  Entry* grown = new (std::nothrow) Entry[capacity];
  if (grown == nullptr) return 0;
  std::copy(store.entries, store.entries + store.size, grown);
  delete[] store.entries;
  store.entries = grown;
  store.capacity = capacity;
  return 1;
}

}  // namespace catalog_internal

// Makes room for at least `minimum` entries: below that, the storage is
// replaced by exactly `minimum` entries, keeping the present ones in order.
// Returns 1 on success; 0 when storage cannot be had (nothing changes).
template <class Entry>
int CatalogReserve(uint32_t minimum) {
  if (g_catalog<Entry>.capacity >= minimum) return 1;
  return catalog_internal::Regrow<Entry>(minimum);
}

// Copies `entry` to the end, first growing a full array to size +
// max(size, 1) entries. Returns 1 on success; 0 when storage cannot be had
// (the entry is then not added).
template <class Entry>
int CatalogAppend(const Entry& entry) {
  CatalogStore<Entry>& store = g_catalog<Entry>;
  if (store.size == store.capacity) {
    uint64_t wanted = uint64_t{store.size} + std::max<uint32_t>(store.size, 1);
    uint32_t capacity =
        static_cast<uint32_t>(std::min<uint64_t>(wanted, UINT32_MAX));
    if (capacity == store.size) return 0;
    if (!catalog_internal::Regrow<Entry>(capacity)) return 0;
  }
  if (!store.firstByCrc.Insert(entry.crc, store.size)) return 0;
  store.entries[store.size++] = entry;
  return 1;
}

// Returns the first entry in load order whose `crc` equals `crc`, or null.
// The pointer stays valid until the next append.
template <class Entry>
Entry* CatalogFindByCrc(uint32_t crc) {
  CatalogStore<Entry>& store = g_catalog<Entry>;
  uint32_t position = store.firstByCrc.Find(crc);
  return position == CrcIndex::kNone ? nullptr : &store.entries[position];
}

// Empties the catalog; the storage and the capacity stay.
template <class Entry>
void CatalogClear() {
  g_catalog<Entry>.size = 0;
  g_catalog<Entry>.firstByCrc.Clear();
}

// Releases the storage as the process exit does: size and capacity 0.
template <class Entry>
void CatalogRelease() {
  CatalogStore<Entry>& store = g_catalog<Entry>;
  delete[] store.entries;
  store.entries = nullptr;
  store.size = 0;
  store.capacity = 0;
  store.firstByCrc.Release();
}

template <class Entry>
uint32_t CatalogSize() {
  return g_catalog<Entry>.size;
}

template <class Entry>
uint32_t CatalogCapacity() {
  return g_catalog<Entry>.capacity;
}

// Fills the fixed-width `field` with the first bytes of `text` (at most
// the field's width), padding with NULs; a full field has no terminator.
template <size_t Width>
void CatalogSetName(char (&field)[Width], const char* text, size_t length) {
  size_t kept = std::min(length, Width);
  std::memset(field, 0, Width);
  std::memcpy(field, text, kept);
}

// Returns the text of a fixed-width name field, never reading past it.
template <size_t Width>
std::string CatalogName(const char (&field)[Width]) {
  return std::string(field, strnlen(field, Width));
}

#endif  // CORE_CATALOG_H_
