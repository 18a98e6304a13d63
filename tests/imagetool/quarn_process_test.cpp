// Quarn as a user runs it: the exact bytes of its output, and the files it
// leaves behind. Every rename run is checked to keep the set of file
// contents unchanged: nothing lost, nothing overwritten. Where identified
// files go (dupes, numbered retries, later runs) is the shared core's
// placement, tested in placement_test and through Tessary; here one round
// trip and the refusal of unsafe names show Quarn handing its files to it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/program_test.h"

namespace {

using testsupport::ReferenceCrc;
using testsupport::WalkOrderFree;

using Names = std::vector<std::string>;

const std::string kBanner = "Quarn v1.0 (Release)\n";
const std::string kUsage =
    "---------------------------------------------\n"
    "Usage   : Quarn [-d] [system] [extensions]\n\n"
    "Options : uses [system].dat to rename\n"
    "          -d   Dump CRC info (make a dat)\n"
    "\nEx: To rename from 'ph_set14.crc', type 'Quarn phset_14'\n"
    "    To make 'ph_set14.crc', type 'Quarn -d *.jpg > phset_14.crc'\n";
const std::string kDumpStart = kBanner + "Dump mode\n\n";
const std::string kUnloading = "\nUnloading Data\n";

class QuarnTest : public ProgramTest {
 protected:
  QuarnTest() : ProgramTest(QUARN_PATH) {}

  // Copies a committed picture into the test's folder as `name`; returns
  // its bytes.
  std::string Place(const std::string& fixture, const std::string& name) {
    std::string bytes =
        testsupport::ReadFile(testsupport::FixturePath("jpeg/" + fixture));
    Write(name, bytes);
    return bytes;
  }
};

// The record line of a dump: the name padded to 12, the size to 9, the
// pixel sizes to 4, and the CRC-32 in hex without leading zeros.
std::string DumpLine(const std::string& name, const std::string& bytes,
                     unsigned width, unsigned height) {
  char line[128];
  std::snprintf(line, sizeof line, "%-12s  %9u  %4u x %4u  %x\n",
                name.c_str(), static_cast<unsigned>(bytes.size()), width,
                height, static_cast<unsigned>(ReferenceCrc(bytes)));
  return line;
}

// A hand-written record line that lists `bytes` under `name`.
std::string Record(const std::string& name, const std::string& bytes) {
  return name + " " + std::to_string(bytes.size()) + " 1 x 1 " +
         testsupport::Hex8(ReferenceCrc(bytes)) + "\n";
}

std::string Catalog(const std::string& records) {
  return "Pictures\n-----------\n" + records;
}

// The standard table, built here from the polynomial for the helper below.
void BuildCrcTable(uint32_t table[256]) {
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t x = n;
    for (int k = 0; k < 8; ++k) x = (x & 1) ? (x >> 1) ^ 0xEDB88320u : x >> 1;
    table[n] = x;
  }
}

// Appends four bytes chosen so that the CRC-32 of the result is `target`.
// Working back from the final register, the top byte of each step names
// the table entry that step used; the bytes then follow going forward.
std::string AppendForcingCrc(std::string bytes, uint32_t target) {
  uint32_t table[256];
  BuildCrcTable(table);
  uint32_t wanted = ~target;
  unsigned char entries[4];
  for (int step = 3; step >= 0; --step) {
    unsigned char entry = 0;
    while ((table[entry] >> 24) != (wanted >> 24)) ++entry;
    entries[step] = entry;
    wanted = (wanted ^ table[entry]) << 8;
  }
  uint32_t state = ~ReferenceCrc(bytes);
  for (unsigned char entry : entries) {
    bytes.push_back(static_cast<char>((state ^ entry) & 0xFF));
    state = (state >> 8) ^ table[entry];
  }
  return bytes;
}

TEST_F(QuarnTest, InvalidCommandLinesPrintTheUsage) {
  const Names cases[] = {{}, {"-x", "set"}, {"set", "-d"}, {"-d", ""}};
  for (const Names& args : cases) {
    testsupport::ProgramResult result = Run(args);
    EXPECT_EQ(result.err, Text(kBanner + kUsage));
    EXPECT_EQ(result.out, "");
  }
  EXPECT_TRUE(Files().empty());
}

TEST_F(QuarnTest, DumpLineMatchesTheDocumentedExample) {
  // a.jpg: 12345 bytes, a frame header for 640 by 480, CRC-32 0x0A1B2C3D.
  std::string filler = testsupport::RandomBytes(100, 7);
  for (char& c : filler) {
    if (c == '\xFF') c = 0;  // no pair FF C0 before the frame header
  }
  std::string picture = filler + std::string("\xFF\xC0\x00\x11\x08", 5) +
                        std::string("\x01\xE0\x02\x80", 4);
  picture += testsupport::RandomBytes(12341 - picture.size(), 8);
  picture = AppendForcingCrc(picture, 0x0A1B2C3Du);
  ASSERT_EQ(picture.size(), 12345u);
  ASSERT_EQ(ReferenceCrc(picture), 0x0A1B2C3Du);
  Write("a.jpg", picture);

  testsupport::ProgramResult result = Run({"-d", "*.jpg"});
  const std::string line = "a.jpg             12345   640 x  480  a1b2c3d\n";
  ASSERT_EQ(line.size(), 46u);
  EXPECT_EQ(result.out, Text(line));
  EXPECT_EQ(result.err, Text(kDumpStart));
}

TEST_F(QuarnTest, DumpPrintsLongAndSpacedNamesWhole) {
  std::string wide = Place("baseline_64x48.jpg", "abcdefghijklmnop.jpg");
  std::string spaced = Place("baseline_40x30.jpg", "my pic.jpg");
  testsupport::ProgramResult result = Run({"-d", "*.jpg"});
  std::string wideLine = DumpLine("abcdefghijklmnop.jpg", wide, 64, 48);
  EXPECT_EQ(wideLine.substr(0, 22), "abcdefghijklmnop.jpg  ");
  EXPECT_EQ(WalkOrderFree(result.out, 0),
            WalkOrderFree(
                Text(wideLine + DumpLine("my pic.jpg", spaced, 40, 30)), 0));
  EXPECT_EQ(result.err, Text(kDumpStart));
}

TEST_F(QuarnTest, SamePatternTwicePrintsEveryFileTwice) {
  std::string a = Place("baseline_64x48.jpg", "a.jpg");
  std::string b = Place("thumbnail_64x48.jpg", "b.jpg");
  testsupport::ProgramResult result = Run({"-d", "*.jpg", "*.jpg"});
  // The thumbnail's size is reported, the whole file's CRC-32.
  std::string once =
      DumpLine("a.jpg", a, 64, 48) + DumpLine("b.jpg", b, 16, 12);
  EXPECT_EQ(WalkOrderFree(result.out, 0), WalkOrderFree(Text(once + once), 0));
  EXPECT_EQ(result.err, Text(kDumpStart));
}

TEST_F(QuarnTest, DumpGoesByPatternsAndMarkerNotByExtension) {
  std::string picture = Place("baseline_40x30.jpg", "p.jpg");
  Place("progressive_40x30.jpg", "q.jpg");
  std::string notes =
      std::string("notes \xFF\xC0\x00\x11\x08\x00\x02\x00\x03", 15);
  Write("notes.txt", notes);
  Write("empty.jpg", "");
  testsupport::MakeDanglingLinkWhereSupported(dir_.Join("dangling.jpg"));

  EXPECT_EQ(Run({"-d", "*.jpg"}).out,
            Text(DumpLine("p.jpg", picture, 40, 30)));
  testsupport::ProgramResult all = Run({"-d", "*.*"});
  EXPECT_EQ(WalkOrderFree(all.out, 0),
            WalkOrderFree(Text(DumpLine("notes.txt", notes, 3, 2) +
                               DumpLine("p.jpg", picture, 40, 30)),
                          0));
  EXPECT_EQ(all.err, Text(kDumpStart));
}

TEST_F(QuarnTest, UnreadableFileIsReportedByPath) {
  std::string picture = Place("baseline_64x48.jpg", "a.jpg");
  Place("baseline_40x30.jpg", "locked.jpg");
  testsupport::ScopedUnreadable locked(dir_.Join("locked.jpg"));
  if (!locked.active()) GTEST_SKIP() << "every file is readable for root";
  testsupport::ProgramResult result = Run({"-d", "*.jpg"});
  EXPECT_EQ(result.out, Text(DumpLine("a.jpg", picture, 64, 48)));
  EXPECT_EQ(result.err, Text(kDumpStart + "\nErr: Unable to open file " +
                             Folder() + "locked.jpg\n"));
}

TEST_F(QuarnTest, DumpedCatalogSortsThePicturesBack) {
  Place("baseline_64x48.jpg", "a.jpg");
  Place("baseline_40x30.jpg", "b.jpg");
  Place("thumbnail_64x48.jpg", "c.jpg");
  std::string progressive = Place("progressive_40x30.jpg", "d.jpg");
  Place("baseline_64x48.jpg", "copy.jpeg");  // not walked: "*.jpg" only
  testsupport::ProgramResult dump = Run({"-d", "*.jpg"});
  ASSERT_EQ(dump.err, Text(kDumpStart));
  // The dump has no line for the progressive picture; listed by hand, it
  // is still never identified.
  Write("holiday.crc", Catalog(dump.out + Record("Rings", progressive)));

  testsupport::ProgramResult result = RunRename({"holiday"});
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            Text(kBanner + "4 files from holiday.crc.\n\n" + kUnloading));
  EXPECT_EQ(Files(), (Names{"copy.jpeg", "d.jpg", "holiday.crc",
                            "holiday/a.jpg", "holiday/b.jpg",
                            "holiday/c.jpg"}));
}

TEST_F(QuarnTest, UnsafeCatalogNamesAreRefused) {
  // The run happens in a sub-folder, so that a name climbing out of it
  // would still land where the test can see it.
  testsupport::MakeFolder(dir_.Join("work"));
  std::string a = Place("baseline_64x48.jpg", "work/a.jpg");
  std::string b = Place("baseline_40x30.jpg", "work/b.jpg");
  Write("work/set.crc",
        Catalog(Record("../escape.jpg", a) + Record("sub\\b.jpg", b)));
  Names before = Files();

  testsupport::ProgramResult result = RunRename({"set"}, "work");
  std::string work = testsupport::WorkingDirectoryView(dir_.Join("work"));
  EXPECT_EQ(result.out, "");
  // The two messages come in the walk order of a.jpg and b.jpg.
  std::string expected =
      kBanner + "2 files from set.crc.\n\n" +
      "Err: Refused unsafe catalog name \"../escape.jpg\" for " + work +
      "a.jpg\n" + "Err: Refused unsafe catalog name \"sub\\b.jpg\" for " +
      work + "b.jpg\n" + kUnloading;
  EXPECT_EQ(WalkOrderFree(result.err, 2), WalkOrderFree(Text(expected), 2));
  EXPECT_EQ(Files(), before);
}

}  // namespace
