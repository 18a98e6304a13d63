// The catalog's index against a plain scan of the entries in load order.
#include <gtest/gtest.h>

#include <random>

#include "core/catalog.h"
#include "romtool/dat_reader.h"

namespace {

const RomEntry* LinearScan(uint32_t crc) {
  for (uint32_t i = 0; i < CatalogSize<RomEntry>(); ++i) {
    if (CatalogEntry<RomEntry>(i)->crc == crc) return CatalogEntry<RomEntry>(i);
  }
  return nullptr;
}

TEST(CatalogTest, LookupsEqualALinearScanForTheFirstEntry) {
  std::mt19937 random(11);
  for (uint32_t size : {0u, 1u, 7u, 1000u, 5000u}) {
    CatalogClear<RomEntry>();
    // Few distinct values, so that most repeat; 0 and all ones among them.
    for (uint32_t i = 0; i < size; ++i) {
      RomEntry entry = {};
      entry.crc = uint32_t(random() % (size / 3 + 2)) * 0x01010101u;
      ASSERT_EQ(CatalogAppend(entry, "name", 4), 1);
    }
    std::string said;
    ASSERT_EQ(CatalogFinishLoad<RomEntry>("set.dat", &said), size);
    for (uint32_t probe = 0; probe < 2000; ++probe) {
      uint32_t crc = probe < 1000 ? probe * 0x01010101u : uint32_t(random());
      ASSERT_EQ(CatalogFindByCrc<RomEntry>(crc), LinearScan(crc)) << size;
    }
  }
  CatalogRelease<RomEntry>();
  EXPECT_EQ(CatalogFindByCrc<RomEntry>(0), nullptr);
}

}  // namespace
