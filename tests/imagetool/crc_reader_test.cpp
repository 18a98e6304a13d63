// The .crc catalog reader: file structure (title, header, separators,
// long lines) and the fields of a record line.
#include "imagetool/crc_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "core/catalog.h"
#include "core/patterns.h"
#include "core/run.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::ScopedTempDir;
using testsupport::WriteFile;

using Entries = std::vector<std::pair<std::string, uint32_t>>;

void ResetCatalogState() {
  CatalogRelease<ImageEntry>();
  FreePatternList();
  FreeKeptSystemName();
}

// Each case loads "set.crc" from a fresh folder, which is the current
// directory for the duration of the case only.
class CrcReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    inside_ = std::make_unique<testsupport::ScopedCurrentDirectory>(dir_.path());
    ResetCatalogState();
  }
  void TearDown() override {
    ResetCatalogState();
    inside_.reset();
  }

  uint32_t Load(const std::string& text) {
    WriteFile(dir_.Join("set.crc"), text);
    return LoadImageCatalog("set");
  }

  static const ImageEntry& Entry(uint32_t index) {
    return g_catalog<ImageEntry>.entries[index];
  }

  // The names and CRC-32s of the loaded entries, in load order.
  static Entries Loaded() {
    Entries entries;
    for (uint32_t i = 0; i < CatalogSize<ImageEntry>(); ++i) {
      entries.emplace_back(CatalogName(Entry(i).name), Entry(i).crc);
    }
    return entries;
  }

  ScopedTempDir dir_;
  std::unique_ptr<testsupport::ScopedCurrentDirectory> inside_;
};

TEST_F(CrcReaderTest, LoadsTheFourLineExample) {
  EXPECT_EQ(Load("Holiday pictures\n"
                 "--------------------------------\n"
                 "a.jpg  12345   640 x  480  a1b2c3d\n"
                 "--------------------------------\n"),
            1u);
  ASSERT_EQ(CatalogSize<ImageEntry>(), 1u);
  const ImageEntry& entry = Entry(0);
  EXPECT_EQ(entry.taken, 0);
  EXPECT_EQ(CatalogName(entry.name), "a.jpg");
  EXPECT_EQ(entry.size, 12345u);
  EXPECT_EQ(entry.width, 640);
  EXPECT_EQ(entry.height, 480);
  EXPECT_EQ(entry.crc, 0x0A1B2C3Du);
  ASSERT_NE(KeptSystemName(), nullptr);
  EXPECT_STREQ(KeptSystemName(), "set");
}

TEST_F(CrcReaderTest, EmptyOrMissingFileLoadsNothingAndBuildsNoPatterns) {
  EXPECT_EQ(Load(""), 0u);
  EXPECT_FALSE(PatternListExists());
  ResetCatalogState();
  EXPECT_EQ(LoadImageCatalog("absent"), 0u);
  EXPECT_FALSE(PatternListExists());
  // The folder name is kept even when the file is missing.
  ASSERT_NE(KeptSystemName(), nullptr);
  EXPECT_STREQ(KeptSystemName(), "absent");
}

// A whole catalog file and the entries it must give.
struct FileCase {
  const char* label;
  std::string text;
  Entries entries;
};

TEST_F(CrcReaderTest, RecordsRunFromTheSeparatorToTheNextDashLine) {
  // 999 bytes are taken at a time; what follows is a line by itself.
  std::string longRecord = "a.jpg 1 2 x 3 aa";
  longRecord.append(999 - longRecord.size(), ' ');
  const FileCase cases[] = {
      // Redirected dump output: every line is a record, none a separator.
      {"dump output without separator",
       "a.jpg  12345   640 x  480  a1b2c3d\n"
       "b.jpg    905    64 x   48  5eed\n"
       "c.jpg   1156    40 x   30  c0ffee\n",
       {}},
      // Were the first line the separator, the header line would load as a
      // record and the dashes after it would end the records.
      {"first line is never the separator",
       "-- my set --\nh.jpg 1 2 x 3 ff\n-\na.jpg 10 20 x 30 abc\n",
       {{"a.jpg", 0xABC}}},
      {"only a dash as first byte ends the records",
       "T\n---\n -x.jpg 1 2 x 3 ff\na.jpg 1 2 x 3 ee\n-- end --\n"
       "after.jpg 1 2 x 3 dd\n",
       {{"-x.jpg", 0xFF}, {"a.jpg", 0xEE}}},
      {"blank lines among records",
       "T\n-\n\na.jpg 1 2 x 3 ff\n\n   \n\r\n \r \nb.jpg 4 5 x 6 ee\n",
       {{"a.jpg", 0xFF}, {"b.jpg", 0xEE}}},
      {"fewer than six fields",
       "T\n-\nsolo.jpg\na.jpg 12345 640 x 480\nb.jpg 1 2 x 3 ff\nc.jpg 1 2\n",
       {{"b.jpg", 0xFF}}},
      {"CR LF line ends",
       "T\r\n----\r\na.jpg 1 2 x 3 ff\r\nb.jpg 4 5 x 6 ee\r\n",
       {{"a.jpg", 0xFF}, {"b.jpg", 0xEE}}},
      {"long lines go on as lines of their own",
       "T\n" + std::string(999, 'h') + "---\n" + longRecord +
           "b.jpg 4 5 x 6 bb\n",
       {{"a.jpg", 0xAA}, {"b.jpg", 0xBB}}},
      // The rest of a long record line that begins with "-" ends them.
      {"long line going on with a dash",
       "T\n-\n" + longRecord + "-\nc.jpg 7 8 x 9 cc\n",
       {{"a.jpg", 0xAA}}},
  };
  for (const FileCase& c : cases) {
    ResetCatalogState();
    EXPECT_EQ(Load(c.text), c.entries.size()) << c.label;
    EXPECT_EQ(Loaded(), c.entries) << c.label;
  }
}

TEST_F(CrcReaderTest, BuildsThePicturePatternOnlyWhenNoneExists) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(Load("T\n-\na.jpg 1 2 x 3 ff\n"), 1u);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");  // no echo
  EXPECT_EQ(PatternListEntries(), std::vector<std::string>({"*.jpg"}));

  ResetCatalogState();
  char given[] = "*.jpeg *.JPG";
  BuildPatternList(given, false);
  EXPECT_EQ(Load("T\n-\na.jpg 1 2 x 3 ff\n"), 1u);
  EXPECT_EQ(PatternListEntries(),
            std::vector<std::string>({"*.jpeg", "*.JPG"}));

  // A title line alone is enough to build the list.
  ResetCatalogState();
  EXPECT_EQ(Load("only a title\n"), 0u);
  EXPECT_EQ(PatternListEntries(), std::vector<std::string>({"*.jpg"}));
}

TEST_F(CrcReaderTest, DuplicateCrcsAreAllCountedAndTheFirstIsFound) {
  EXPECT_EQ(Load("T\n-\nfirst.jpg 1 2 x 3 abc\nother.jpg 1 2 x 3 def\n"
                 "second.jpg 1 2 x 3 ABC\n"),
            3u);
  ImageEntry* found = CatalogFindByCrc<ImageEntry>(0xABC);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(CatalogName(found->name), "first.jpg");
}

// One record line and the entry it must give.
struct RecordCase {
  const char* label;
  const char* line;
  std::string name;
  uint32_t size;
  uint16_t width;
  uint16_t height;
  uint32_t crc;
};

// Test names show the label, not the record's bytes.
void PrintTo(const RecordCase& c, std::ostream* out) { *out << c.label; }

class CrcRecordTest : public CrcReaderTest,
                      public ::testing::WithParamInterface<RecordCase> {};

TEST_P(CrcRecordTest, FillsTheEntry) {
  const RecordCase& c = GetParam();
  ASSERT_EQ(Load(std::string("T\n-\n") + c.line + "\n"), 1u);
  const ImageEntry& entry = Entry(0);
  EXPECT_EQ(CatalogName(entry.name), c.name);
  EXPECT_EQ(entry.size, c.size);
  EXPECT_EQ(entry.width, c.width);
  EXPECT_EQ(entry.height, c.height);
  EXPECT_EQ(entry.crc, c.crc);
  EXPECT_EQ(entry.taken, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CrcRecordTest,
    ::testing::Values(
        // The CRC-32 in either letter case, with or without a prefix; the
        // rules of the number text itself are ParseUnsigned32's (text_test).
        RecordCase{"CrcUpperCase", "a.jpg 1 2 x 3 A1B2C3D4", "a.jpg", 1, 2, 3,
                   0xA1B2C3D4},
        RecordCase{"CrcPrefixLower", "a.jpg 1 2 x 3 0xa1b2c3d4", "a.jpg", 1, 2,
                   3, 0xA1B2C3D4},
        RecordCase{"CrcPrefixUpper", "a.jpg 1 2 x 3 0XA1B2C3D4", "a.jpg", 1, 2,
                   3, 0xA1B2C3D4},
        RecordCase{"CrcOverflow", "a.jpg 1 2 x 3 123456789", "a.jpg", 1, 2, 3,
                   0xFFFFFFFF},
        RecordCase{"PixelSizesLow16Bits", "a.jpg 1 70000 x 65536 ff", "a.jpg",
                   1, 4464, 0, 0xFF},
        RecordCase{"SizeOverflow", "a.jpg 4294967296 2 x 3 ff", "a.jpg",
                   0xFFFFFFFF, 2, 3, 0xFF},
        RecordCase{"NumbersStopAtNonDigit", "a.jpg 12kB abc x 3 ff", "a.jpg",
                   12, 0, 3, 0xFF},
        // Leading delimiters, extra fields, any text for the "x".
        RecordCase{"ExtraDelimitersAndFields",
                   "   a.jpg   1  2  by  3  ff  extra words", "a.jpg", 1, 2, 3,
                   0xFF},
        // A tab is part of its field; numbers skip a leading tab.
        RecordCase{"TabInNameAndNumber", "a.jpg\tb 100 \t640 x 480\t abc",
                   "a.jpg\tb", 100, 640, 480, 0xABC},
        RecordCase{"TabsDoNotSplit", "a.jpg\t100\t640\tx\t480\tabc 1 2 x 3 ff",
                   "a.jpg\t100\t640\tx\t480\tabc", 1, 2, 3, 0xFF},
        // A dumped name with a space shifts the later words into the
        // number fields.
        RecordCase{"SpacedDumpName",
                   "my pic.jpg    12345   640 x  480  a1b2c3d", "my", 0, 12345,
                   0, 0x480},
        // Names are cut to 50 characters (a full field keeps all 50 without
        // a terminator: catalog_test).
        RecordCase{
            "NameCutTo50",
            "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWX"
            ".jpg 1 2 x 3 ff",
            "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMN", 1, 2, 3,
            0xFF}),
    [](const ::testing::TestParamInfo<RecordCase>& info) {
      return std::string(info.param.label);
    });

}  // namespace
