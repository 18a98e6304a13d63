// Quarn as a user runs it: the exact bytes of its output, and the files it
// leaves behind. Every rename run is checked to keep the set of file
// contents unchanged: nothing lost, nothing overwritten.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using testsupport::ListFiles;
using testsupport::ProgramResult;
using testsupport::ReadFile;
using testsupport::ReferenceCrc;
using testsupport::ScopedTempDir;
using testsupport::SnapshotContents;
using testsupport::TextOutput;
using testsupport::WalkOrderFree;
using testsupport::WriteFile;

using Files = std::vector<std::string>;

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

ProgramResult RunQuarn(const std::string& folder, const Files& args) {
  ProgramResult result = testsupport::RunProgram(QUARN_PATH, args, folder);
  EXPECT_EQ(result.status, 0);
  return result;
}

// A rename run, checked to move files without losing or replacing any.
ProgramResult RunRename(const std::string& folder, const std::string& name) {
  std::multiset<std::string> before = SnapshotContents(folder);
  ProgramResult result = RunQuarn(folder, {name});
  EXPECT_EQ(SnapshotContents(folder), before);
  return result;
}

std::string Fixture(const std::string& name) {
  return ReadFile(std::string(SORTERS_FIXTURES_DIR) + "/jpeg/" + name);
}

// Copies a committed picture into `folder` as `name`; returns its bytes.
std::string Place(const ScopedTempDir& folder, const std::string& fixture,
                  const std::string& name) {
  std::string bytes = Fixture(fixture);
  WriteFile(folder.Join(name), bytes);
  return bytes;
}

std::string PadLeft(const std::string& text, size_t width) {
  return text.size() >= width ? text
                              : std::string(width - text.size(), ' ') + text;
}

std::string PadRight(const std::string& text, size_t width) {
  return text.size() >= width ? text
                              : text + std::string(width - text.size(), ' ');
}

// The record line of a dump, assembled field by field.
std::string DumpLine(const std::string& name, const std::string& bytes,
                     unsigned width, unsigned height) {
  std::ostringstream crc;
  crc << std::hex << ReferenceCrc(bytes);
  return PadRight(name, 12) + "  " + PadLeft(std::to_string(bytes.size()), 9) +
         "  " + PadLeft(std::to_string(width), 4) + " x " +
         PadLeft(std::to_string(height), 4) + "  " + crc.str() + "\n";
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

TEST(QuarnProcessTest, InvalidCommandLinesPrintTheUsage) {
  ScopedTempDir dir;
  const Files cases[] = {{}, {"-x", "set"}, {"set", "-d"}, {"-d", ""}};
  for (const Files& args : cases) {
    ProgramResult result = RunQuarn(dir.path(), args);
    EXPECT_EQ(result.err, TextOutput(kBanner + kUsage));
    EXPECT_EQ(result.out, "");
  }
  EXPECT_TRUE(ListFiles(dir.path()).empty());
}

TEST(QuarnProcessTest, DumpLineMatchesTheDocumentedExample) {
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
  ScopedTempDir dir;
  WriteFile(dir.Join("a.jpg"), picture);

  ProgramResult result = RunQuarn(dir.path(), {"-d", "*.jpg"});
  const std::string line = "a.jpg             12345   640 x  480  a1b2c3d\n";
  ASSERT_EQ(line.size(), 46u);
  EXPECT_EQ(result.out, TextOutput(line));
  EXPECT_EQ(result.err, TextOutput(kDumpStart));
}

TEST(QuarnProcessTest, DumpPrintsLongAndSpacedNamesWhole) {
  ScopedTempDir dir;
  std::string wide = Place(dir, "baseline_64x48.jpg", "abcdefghijklmnop.jpg");
  std::string spaced = Place(dir, "baseline_40x30.jpg", "my pic.jpg");
  ProgramResult result = RunQuarn(dir.path(), {"-d", "*.jpg"});
  std::string wideLine = DumpLine("abcdefghijklmnop.jpg", wide, 64, 48);
  EXPECT_EQ(wideLine.substr(0, 22), "abcdefghijklmnop.jpg  ");
  EXPECT_EQ(WalkOrderFree(result.out, 0),
            WalkOrderFree(TextOutput(wideLine +
                                     DumpLine("my pic.jpg", spaced, 40, 30)),
                          0));
  EXPECT_EQ(result.err, TextOutput(kDumpStart));
}

TEST(QuarnProcessTest, SamePatternTwicePrintsEveryFileTwice) {
  ScopedTempDir dir;
  std::string a = Place(dir, "baseline_64x48.jpg", "a.jpg");
  std::string b = Place(dir, "thumbnail_64x48.jpg", "b.jpg");
  ProgramResult result = RunQuarn(dir.path(), {"-d", "*.jpg", "*.jpg"});
  // The thumbnail's size is reported, the whole file's CRC-32.
  std::string once =
      DumpLine("a.jpg", a, 64, 48) + DumpLine("b.jpg", b, 16, 12);
  EXPECT_EQ(WalkOrderFree(result.out, 0),
            WalkOrderFree(TextOutput(once + once), 0));
  EXPECT_EQ(result.err, TextOutput(kDumpStart));
}

TEST(QuarnProcessTest, DumpGoesByPatternsAndMarkerNotByExtension) {
  ScopedTempDir dir;
  std::string picture = Place(dir, "baseline_40x30.jpg", "p.jpg");
  Place(dir, "progressive_40x30.jpg", "q.jpg");
  std::string notes =
      std::string("notes \xFF\xC0\x00\x11\x08\x00\x02\x00\x03", 15);
  WriteFile(dir.Join("notes.txt"), notes);
  WriteFile(dir.Join("empty.jpg"), "");
  testsupport::MakeDanglingLinkWhereSupported(dir.Join("dangling.jpg"));

  EXPECT_EQ(RunQuarn(dir.path(), {"-d", "*.jpg"}).out,
            TextOutput(DumpLine("p.jpg", picture, 40, 30)));
  ProgramResult all = RunQuarn(dir.path(), {"-d", "*.*"});
  EXPECT_EQ(WalkOrderFree(all.out, 0),
            WalkOrderFree(TextOutput(DumpLine("notes.txt", notes, 3, 2) +
                                     DumpLine("p.jpg", picture, 40, 30)),
                          0));
  EXPECT_EQ(all.err, TextOutput(kDumpStart));
}

TEST(QuarnProcessTest, UnreadableFileIsReportedByPath) {
  ScopedTempDir dir;
  std::string picture = Place(dir, "baseline_64x48.jpg", "a.jpg");
  Place(dir, "baseline_40x30.jpg", "locked.jpg");
  testsupport::ScopedUnreadable locked(dir.Join("locked.jpg"));
  if (!locked.active()) GTEST_SKIP() << "every file is readable for root";
  ProgramResult result = RunQuarn(dir.path(), {"-d", "*.jpg"});
  EXPECT_EQ(result.out, TextOutput(DumpLine("a.jpg", picture, 64, 48)));
  EXPECT_EQ(result.err,
            TextOutput(kDumpStart + "\nErr: Unable to open file " +
                       testsupport::WorkingDirectoryView(dir.path()) +
                       "locked.jpg\n"));
}

TEST(QuarnProcessTest, DumpedCatalogSortsThePicturesBack) {
  ScopedTempDir dir;
  Place(dir, "baseline_64x48.jpg", "a.jpg");
  Place(dir, "baseline_40x30.jpg", "b.jpg");
  Place(dir, "thumbnail_64x48.jpg", "c.jpg");
  Place(dir, "progressive_40x30.jpg", "d.jpg");
  ProgramResult dump = RunQuarn(dir.path(), {"-d", "*.jpg"});
  ASSERT_EQ(dump.err, TextOutput(kDumpStart));
  WriteFile(dir.Join("holiday.crc"), Catalog(dump.out));

  ProgramResult result = RunRename(dir.path(), "holiday");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, TextOutput(kBanner + "3 files from holiday.crc.\n\n" +
                                   kUnloading));
  EXPECT_EQ(ListFiles(dir.path()),
            Files({"d.jpg", "holiday.crc", "holiday/a.jpg", "holiday/b.jpg",
                   "holiday/c.jpg"}));
}

TEST(QuarnProcessTest, PicturesTakeTheirCatalogNames) {
  ScopedTempDir dir;
  std::string a = Place(dir, "baseline_64x48.jpg", "IMG_0001.jpg");
  std::string b = Place(dir, "baseline_40x30.jpg", "IMG_0002.jpg");
  std::string c = Place(dir, "thumbnail_64x48.jpg", "IMG_0003.jpg");
  std::string progressive = Place(dir, "progressive_40x30.jpg", "IMG_0004.jpg");
  Place(dir, "baseline_64x48.jpg", "copy.jpeg");  // not walked: "*.jpg" only
  WriteFile(dir.Join("set.crc"),
            Catalog(Record("Sunrise", a) + Record("Harbour.jpg", b) +
                    Record("Meadow.JPG", c) + Record("Rings", progressive)));

  ProgramResult result = RunRename(dir.path(), "set");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            TextOutput(kBanner + "4 files from set.crc.\n\n" + kUnloading));
  // A progressive picture is never identified, even when listed.
  EXPECT_EQ(ListFiles(dir.path()),
            Files({"IMG_0004.jpg", "copy.jpeg", "set.crc", "set/Harbour.jpg",
                   "set/Meadow.JPG.jpg", "set/Sunrise.jpg"}));
}

TEST(QuarnProcessTest, WithoutUsableCatalogNothingIsTouched) {
  ScopedTempDir dir;
  Place(dir, "baseline_64x48.jpg", "a.jpg");
  ProgramResult missing = RunRename(dir.path(), "set");
  EXPECT_EQ(missing.err, TextOutput(kBanner + "Error getting data.\n"));
  EXPECT_EQ(missing.out, "");

  // Plain dump output has no separator line, so no record is read.
  WriteFile(dir.Join("set.crc"), RunQuarn(dir.path(), {"-d", "*.jpg"}).out);
  ProgramResult bare = RunRename(dir.path(), "set");
  EXPECT_EQ(bare.err, TextOutput(kBanner + "Error getting data.\n"));
  EXPECT_EQ(bare.out, "");
  EXPECT_EQ(ListFiles(dir.path()), Files({"a.jpg", "set.crc"}));
}

TEST(QuarnProcessTest, IdenticalPicturesGoToDupesWithNumbers) {
  ScopedTempDir dir;
  std::string bytes = Place(dir, "baseline_64x48.jpg", "a.jpg");
  Place(dir, "baseline_64x48.jpg", "b.jpg");
  Place(dir, "baseline_64x48.jpg", "c.jpg");
  WriteFile(dir.Join("set.crc"), Catalog(Record("Sunset", bytes)));

  ProgramResult result = RunRename(dir.path(), "set");
  EXPECT_EQ(result.err,
            TextOutput(kBanner + "1 files from set.crc.\n\n" + kUnloading));
  // The numbered retry replaces the last character of the target.
  EXPECT_EQ(ListFiles(dir.path()),
            Files({"dupes/Sunset.jp0", "dupes/Sunset.jpg", "set.crc",
                   "set/Sunset.jpg"}));
}

TEST(QuarnProcessTest, SecondRunSendsNewCopiesToDupes) {
  ScopedTempDir dir;
  std::string bytes = Place(dir, "baseline_40x30.jpg", "a.jpg");
  WriteFile(dir.Join("set.crc"), Catalog(Record("Sunset", bytes)));
  RunRename(dir.path(), "set");
  EXPECT_EQ(ListFiles(dir.path()), Files({"set.crc", "set/Sunset.jpg"}));

  // The entry is fresh in the new run, but its target is taken.
  Place(dir, "baseline_40x30.jpg", "again.jpg");
  RunRename(dir.path(), "set");
  EXPECT_EQ(ListFiles(dir.path()),
            Files({"dupes/Sunset.jpg", "set.crc", "set/Sunset.jpg"}));
  Place(dir, "baseline_40x30.jpg", "third.jpg");
  RunRename(dir.path(), "set");
  EXPECT_EQ(ListFiles(dir.path()),
            Files({"dupes/Sunset.jp0", "dupes/Sunset.jpg", "set.crc",
                   "set/Sunset.jpg"}));
}

TEST(QuarnProcessTest, UnsafeCatalogNamesAreRefused) {
  // The run happens in a sub-folder, so that a name climbing out of it
  // would still land where the test can see it.
  ScopedTempDir root;
  std::string work = root.Join("work");
  testsupport::MakeFolder(work);
  std::string a = Fixture("baseline_64x48.jpg");
  std::string b = Fixture("baseline_40x30.jpg");
  WriteFile(root.Join("work/a.jpg"), a);
  WriteFile(root.Join("work/b.jpg"), b);
  WriteFile(root.Join("work/set.crc"),
            Catalog(Record("../escape.jpg", a) + Record("sub\\b.jpg", b)));
  Files before = ListFiles(root.path());

  ProgramResult result = RunRename(work, "set");
  std::string real = testsupport::WorkingDirectoryView(work);
  EXPECT_EQ(result.out, "");
  // The two messages come in the walk order of a.jpg and b.jpg.
  std::string expected =
      kBanner + "2 files from set.crc.\n\n" +
      "Err: Refused unsafe catalog name \"../escape.jpg\" for " + real +
      "a.jpg\n" + "Err: Refused unsafe catalog name \"sub\\b.jpg\" for " +
      real + "b.jpg\n" + kUnloading;
  EXPECT_EQ(WalkOrderFree(result.err, 2),
            WalkOrderFree(TextOutput(expected), 2));
  EXPECT_EQ(ListFiles(root.path()), before);
}

}  // namespace
