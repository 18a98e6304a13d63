#include "romtool/dat_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/catalog.h"
#include "core/patterns.h"
#include "core/run.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::ScopedTempDir;
using testsupport::WriteFile;

using Entries = std::vector<std::pair<uint32_t, std::string>>;

struct Loaded {
  uint32_t count = 0;
  std::string echo;  // what the load wrote to standard output
  Entries entries;
};

class DatReaderTest : public testing::Test {
 protected:
  void SetUp() override {
    inside_ = std::make_unique<testsupport::ScopedCurrentDirectory>(dir_.path());
  }
  void TearDown() override {
    Release();
    FreeKeptSystemName();
    inside_.reset();
  }

  // Forgets a load, so that the next one starts afresh.
  static void Release() {
    CatalogRelease<RomEntry>();
    FreePatternList();
  }

  Loaded Load(const std::string& contents) {
    WriteFile(dir_.Join("test.dat"), contents);
    Loaded loaded;
    testing::internal::CaptureStdout();
    loaded.count = LoadRomCatalog("test");
    loaded.echo = testing::internal::GetCapturedStdout();
    for (uint32_t i = 0; i < CatalogSize<RomEntry>(); ++i) {
      const RomEntry& entry = g_catalog<RomEntry>.entries[i];
      EXPECT_EQ(entry.taken, 0);
      loaded.entries.emplace_back(entry.crc, CatalogName(entry.name));
    }
    return loaded;
  }

  ScopedTempDir dir_;
  std::unique_ptr<testsupport::ScopedCurrentDirectory> inside_;
};

TEST_F(DatReaderTest, DumpLayoutReadsBackLineByLine) {
  Loaded loaded = Load(
      "*.a26 *.bin  \n"
      "0012abcd Game.a26\n"
      "352441c2 My Game (USA).bin\n");
  EXPECT_EQ(loaded.count, 2u);
  EXPECT_EQ(loaded.entries, (Entries{{0x0012ABCDu, "Game.a26"},
                                     {0x352441C2u, "My Game (USA).bin"}}));
  EXPECT_EQ(PatternListEntries(), (std::vector<std::string>{"*.a26", "*.bin"}));
  EXPECT_EQ(loaded.echo, "*.a26 *.bin   \n");  // trimmed text + " \n"
  EXPECT_STREQ(KeptSystemName(), "test");
}

struct LineCase {
  const char* line;
  Entries expected;
};

TEST_F(DatReaderTest, PlainRecordLines) {
  const LineCase cases[] = {
      {"1234ABCD Super Game (USA).bin\r\n", {{0x1234ABCDu, "Super Game (USA).bin"}}},
      {"0xff Game\n", {{0xFFu, "Game"}}},
      {"1234abcd\n", {}},                      // no space: not a record
      {"\n", {}},
      {"[CREDITS]\n", {}},
      {" leading space\n", {{0u, "leading space"}}},
      {"abcd1234 trailing spaces  \n", {{0xABCD1234u, "trailing spaces  "}}},
      {"\t12 tab\n", {{0x12u, "tab"}}},        // CRC text skips white space
      {"zz name\n", {{0u, "name"}}},
      {"1234abcd5 too long\n", {{0xFFFFFFFFu, "too long"}}},
      {"-1 negative\n", {{0xFFFFFFFFu, "negative"}}},
      {"Error in zipfile /roms/x.zip\n", {{0xEu, "in zipfile /roms/x.zip"}}},
      {"The zipfile seems to be corrupt, please check it\n",
       {{0u, "zipfile seems to be corrupt, please check it"}}},
  };
  for (const LineCase& c : cases) {
    Loaded loaded = Load(std::string("*.* \n") + c.line);
    EXPECT_EQ(loaded.entries, c.expected) << "line: " << c.line;
    EXPECT_EQ(loaded.count, c.expected.size());
    Release();
  }
}

TEST_F(DatReaderTest, SectionedLayoutReadsFieldRecordsAfterGames) {
  Loaded loaded = Load(
      "[CREDITS]\n"
      "author=x\n"
      "1234abcd not a record yet\n"
      "[GAMES]\n"
      "\xAC" "a\xAC" "Game Name\xAC" "c\xAC" "d\xAC" "e\xAC" "1a2b3c4d\xAC" "1024\xAC\n"
      "\xAC" "a\xAC\xAC" "Game\xAC" "d\xAC" "e\xAC" "f\xAC" "1a2b3c4d\r\n"
      "[OTHER]\n"
      "0000abcd plain after a section\n"
      "\xAC" "a\xAC" "b\xAC" "c\n");  // fewer than six fields: no entry
  EXPECT_EQ(loaded.entries,
            (Entries{{0x1A2B3C4Du, "Game Name"},
                     {0x1A2B3C4Du, "Game"},
                     {0xABCDu, "plain after a section"}}));
  EXPECT_EQ(loaded.count, 3u);
  EXPECT_EQ(PatternListEntries(), std::vector<std::string>{"*.*"});
  EXPECT_EQ(loaded.echo, "*.* \n");
}

TEST_F(DatReaderTest, RecordsStartWhereTheLayoutSays) {
  const std::pair<const char*, Entries> files[] = {
      {"", {}},                                     // empty
      {"*.a26 *.bin  \n", {}},                      // pattern line alone
      {"[CREDITS]\n0000000a A\n", {}},              // no [GAMES]
      {"[CREDITS]\n[GAMES]  \n0000000a A\n", {}},   // spaces are not trimmed
      {"[GAMES]\n", {}},                            // header without records
      {"[GAMES]\r\n0000000a A\n", {{0xAu, "A"}}},   // header on the first line
  };
  for (const auto& file : files) {
    Loaded loaded = Load(file.first);
    EXPECT_EQ(loaded.entries, file.second) << "file: " << file.first;
    EXPECT_EQ(loaded.count, file.second.size());
    EXPECT_STREQ(KeptSystemName(), "test");
    Release();
  }
}

TEST_F(DatReaderTest, MissingFileKeepsTheNameButLoadsNothing) {
  EXPECT_EQ(LoadRomCatalog("absent"), 0u);
  EXPECT_STREQ(KeptSystemName(), "absent");
  EXPECT_FALSE(PatternListExists());
  EXPECT_EQ(CatalogCapacity<RomEntry>(), 0u);  // no reserve without a file
}

TEST_F(DatReaderTest, DumpWhosePatternStartsWithABracketIsSectioned) {
  Loaded loaded = Load("[x].a26  \n0000000a A\n[GAMES]\n0000000b B\n");
  EXPECT_EQ(loaded.entries, (Entries{{0xBu, "B"}}));
  EXPECT_EQ(PatternListEntries(), std::vector<std::string>{"*.*"});
}

TEST_F(DatReaderTest, ExistingPatternListIsKeptAndNotEchoed) {
  char patterns[] = "*.nes ";
  BuildPatternList(patterns, false);
  Loaded loaded = Load("*.a26  \n0000000a A\n");
  EXPECT_EQ(loaded.count, 1u);
  EXPECT_EQ(loaded.echo, "");
  EXPECT_EQ(PatternListEntries(), std::vector<std::string>{"*.nes"});
}

TEST_F(DatReaderTest, LongNamesAreCutAndLongLinesSplit) {
  std::string longName(150, 'n');
  std::string longLine = "0000000a " + std::string(990, 'a') + "bc tail end\n";
  Loaded loaded = Load("*.* \n0000000b " + longName + "\n" + longLine);
  ASSERT_EQ(loaded.count, 3u);
  EXPECT_EQ(loaded.entries[0], (std::pair<uint32_t, std::string>{
                                   0xBu, std::string(100, 'n')}));
  EXPECT_EQ(loaded.entries[1].first, 0xAu);
  EXPECT_EQ(loaded.entries[1].second, std::string(100, 'a'));
  // The line's 1000th byte on, read as a line of its own.
  EXPECT_EQ(loaded.entries[2], (std::pair<uint32_t, std::string>{
                                   0xBCu, "tail end"}));
}

TEST_F(DatReaderTest, RepeatedCrcsAreAllStoredAndTheFirstIsFound) {
  Loaded loaded = Load("*.* \n0000000a First\n0000000a Second\n");
  EXPECT_EQ(loaded.count, 2u);
  EXPECT_EQ(CatalogName(CatalogFindByCrc<RomEntry>(0xA)->name), "First");
}

}  // namespace
