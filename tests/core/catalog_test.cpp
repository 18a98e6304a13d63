#include "core/catalog.h"

#include <gtest/gtest.h>

#include <random>

namespace {

struct TestEntry {
  unsigned char taken;
  uint32_t crc;
  char name[8];
};

TestEntry MakeEntry(uint32_t crc, const char* name) {
  TestEntry entry;
  entry.taken = 0;
  entry.crc = crc;
  CatalogSetName(entry.name, name, std::strlen(name));
  return entry;
}

class CatalogTest : public testing::Test {
 protected:
  void TearDown() override { CatalogRelease<TestEntry>(); }
};

TEST_F(CatalogTest, StartsEmptyAndFindsNothing) {
  EXPECT_EQ(CatalogSize<TestEntry>(), 0u);
  EXPECT_EQ(CatalogCapacity<TestEntry>(), 0u);
  EXPECT_EQ(CatalogFindByCrc<TestEntry>(0), nullptr);
}

TEST_F(CatalogTest, GrowsByDoublingAfterTheReserveAndKeepsOrder) {
  ASSERT_EQ(CatalogReserve<TestEntry>(1000), 1);
  EXPECT_EQ(CatalogCapacity<TestEntry>(), 1000u);
  for (uint32_t i = 0; i < 2001; ++i) {
    ASSERT_EQ(CatalogAppend(MakeEntry(i, "x")), 1);
    if (i == 999) {
      EXPECT_EQ(CatalogCapacity<TestEntry>(), 1000u);
    }
    if (i == 1000) {
      EXPECT_EQ(CatalogCapacity<TestEntry>(), 2000u);
    }
  }
  EXPECT_EQ(CatalogCapacity<TestEntry>(), 4000u);
  EXPECT_EQ(CatalogSize<TestEntry>(), 2001u);
  for (uint32_t i = 0; i < 2001; ++i) {
    ASSERT_EQ(g_catalog<TestEntry>.entries[i].crc, i);
  }
}

TEST_F(CatalogTest, GrowsFromNothingOneTwoFourEight) {
  uint32_t expected[] = {1, 2, 4, 4, 8};
  for (uint32_t capacity : expected) {
    CatalogAppend(MakeEntry(7, "x"));
    EXPECT_EQ(CatalogCapacity<TestEntry>(), capacity);
  }
}

TEST_F(CatalogTest, ReserveKeepsPresentEntriesAndTheirFlags) {
  CatalogAppend(MakeEntry(1, "one"));
  CatalogAppend(MakeEntry(2, "two"));
  CatalogFindByCrc<TestEntry>(2)->taken = 1;
  CatalogReserve<TestEntry>(1000);
  EXPECT_EQ(CatalogCapacity<TestEntry>(), 1000u);
  ASSERT_EQ(CatalogSize<TestEntry>(), 2u);
  EXPECT_EQ(CatalogName(g_catalog<TestEntry>.entries[0].name), "one");
  EXPECT_EQ(g_catalog<TestEntry>.entries[1].taken, 1);
  CatalogReserve<TestEntry>(10);  // never shrinks
  EXPECT_EQ(CatalogCapacity<TestEntry>(), 1000u);
}

TEST_F(CatalogTest, LookupYieldsTheFirstEntryInLoadOrder) {
  CatalogAppend(MakeEntry(0xABCDu, "first"));
  CatalogAppend(MakeEntry(0x1234u, "other"));
  CatalogAppend(MakeEntry(0xABCDu, "second"));
  TestEntry* found = CatalogFindByCrc<TestEntry>(0xABCDu);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(CatalogName(found->name), "first");
  found->taken = 1;
  EXPECT_EQ(CatalogFindByCrc<TestEntry>(0xABCDu), found);
  EXPECT_EQ(g_catalog<TestEntry>.entries[2].taken, 0);
  EXPECT_EQ(CatalogFindByCrc<TestEntry>(0xABCEu), nullptr);
}

TEST_F(CatalogTest, ClearKeepsStorageButFindsNothing) {
  CatalogReserve<TestEntry>(1000);
  CatalogAppend(MakeEntry(5, "x"));
  CatalogClear<TestEntry>();
  EXPECT_EQ(CatalogSize<TestEntry>(), 0u);
  EXPECT_EQ(CatalogCapacity<TestEntry>(), 1000u);
  EXPECT_EQ(CatalogFindByCrc<TestEntry>(5), nullptr);
}

// The first entry with `crc`, found the slow and obvious way.
const TestEntry* LinearFind(uint32_t crc) {
  for (uint32_t i = 0; i < CatalogSize<TestEntry>(); ++i) {
    if (g_catalog<TestEntry>.entries[i].crc == crc) {
      return &g_catalog<TestEntry>.entries[i];
    }
  }
  return nullptr;
}

TEST_F(CatalogTest, IndexedLookupEqualsALinearScanOnRandomCatalogs) {
  std::mt19937 generator(2024);
  for (int round = 0; round < 20; ++round) {
    // Small key ranges give many repeated CRC-32s; wide ones few.
    uint32_t range = round % 2 == 0 ? 500 : 0xFFFFFFFFu;
    uint32_t count = generator() % 3000;
    for (uint32_t i = 0; i < count; ++i) {
      CatalogAppend(MakeEntry(generator() % range, "x"));
    }
    for (int probe = 0; probe < 2000; ++probe) {
      uint32_t crc = probe < 500 ? static_cast<uint32_t>(probe) : generator();
      ASSERT_EQ(CatalogFindByCrc<TestEntry>(crc), LinearFind(crc))
          << "round " << round << " crc " << crc;
    }
    CatalogClear<TestEntry>();
    ASSERT_EQ(CatalogFindByCrc<TestEntry>(0), nullptr);
  }
}

TEST_F(CatalogTest, NamesFillTheFieldWithoutTerminatorAndReadBackCut) {
  TestEntry entry = MakeEntry(1, "exactly8");
  EXPECT_EQ(CatalogName(entry.name), "exactly8");
  entry = MakeEntry(1, "much longer than eight");
  EXPECT_EQ(CatalogName(entry.name), "much lon");
}

}  // namespace
