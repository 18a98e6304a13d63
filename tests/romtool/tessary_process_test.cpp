// Process-level tests of Tessary on plain ROM images: command line, dump
// lines, header normalizers, and rename mode with its placement rules.
#include <string>
#include <vector>

#include "tests/romtool/tessary_fixture.h"

namespace {

using testsupport::Hex8;
using testsupport::RandomBytes;
using testsupport::ReferenceCrc;
using testsupport::WalkOrderFree;

const char kUsage[] =
    "---------------------------------------------\n"
    "Usage   : Tessary [-d] [system] [extensions]\n\n"
    "Options : uses [system].dat to rename\n"
    "          -d   Dump CRC info (make a dat)\n"
    "\nEx: To rename Atari 2600, type 'Tessary 2600'\n"
    "    To make a 2600 dat, type 'Tessary -d *.a26 *.bin > 2600.dat'\n";

TEST_F(TessaryTest, InvalidCommandLinesPrintBannerAndUsage) {
  Write("2600.dat", "*.a26  \n352441c2 Pac-Man\n");
  Write("a.a26", "abc");
  const std::vector<std::vector<std::string>> commandLines = {
      {}, {"-x", "2600"}, {"2600", "-d"}, {"-d", ""}, {"-"}};
  for (const auto& args : commandLines) {
    testsupport::ProgramResult result = Run(args);
    EXPECT_EQ(result.err, Text(std::string(kBanner) + kUsage));
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(Files(), (std::vector<std::string>{"2600.dat", "a.a26"}));
}

TEST_F(TessaryTest, DumpListsMatchingFilesInWalkOrder) {
  Write("b.a26", "abc");
  Write("A.A26", "hello");
  Write("c.BIN", "123456789");
  Write("d.nes.txt", "not listed");
  Write("README", "no extension");
  Write("empty.a26", "");  // checksum 0: nothing to report
  testsupport::MakeFolder(dir_.Join("folder.a26"));
  testsupport::ProgramResult result = Run({"-d", "*.a26", "*.bin"});
  EXPECT_EQ(result.err, Text(std::string(kBanner) + "Dump mode\n\n"));
  // The walk of one pattern lists its files in the walk order.
  std::string expected = "*.a26 *.bin  \n" +
                         Hex8(ReferenceCrc("hello")) + " A.a26\n" +
                         Hex8(ReferenceCrc("abc")) + " b.a26\n" +
                         Hex8(ReferenceCrc("123456789")) + " c.bin\n";
  EXPECT_EQ(WalkOrderFree(result.out, 1), WalkOrderFree(Text(expected), 1));
  EXPECT_EQ(Read("A.A26"), "hello");  // the name on disk keeps its case
}

TEST_F(TessaryTest, LeadingZerosAndTheNameAfterTheSystem) {
  // Find bytes whose checksum starts with a zero digit, to see the padding.
  std::string bytes;
  for (uint32_t seed = 0;; ++seed) {
    bytes = RandomBytes(8, seed);
    if (ReferenceCrc(bytes) < 0x10000000u) break;
  }
  Write("z.a26", bytes);
  Write("2600.dat", "broken");
  testsupport::ProgramResult result = Run({"2600", "-d", "*.a26"});
  EXPECT_EQ(result.out,
            Text("*.a26  \n" + Hex8(ReferenceCrc(bytes)) + " z.a26\n"));
  EXPECT_EQ(result.out.substr(Text("*.a26  \n").size(), 1), "0");
  EXPECT_EQ(result.err, Text(std::string(kBanner) + "Dump mode\n\n"));
}

TEST_F(TessaryTest, NamesWithoutExtensionOrPatternsWithoutStarDotListNothing) {
  Write("README", "text");
  Write("game.a26", "abc");
  EXPECT_EQ(Run({"-d", "*.*"}).out,
            Text("*.*  \n" + Hex8(ReferenceCrc("abc")) + " game.a26\n"));
  // The walk of "game*.a26" finds game.a26, but the entry accepts nothing.
  EXPECT_EQ(Run({"-d", "game*.a26"}).out, Text("game*.a26  \n"));
}

// An interleaved Genesis image whose linear contents are `linear`: the
// second half of each 16 KiB block holds the even bytes, the first the odd.
std::string InterleaveSmd(const std::string& linear) {
  std::string image(512, '\0');
  image[0] = static_cast<char>(linear.size() / 16384);
  image[1] = 0x03;
  image[8] = static_cast<char>(0xAA);
  image[9] = static_cast<char>(0xBB);
  for (size_t block = 0; block < linear.size(); block += 16384) {
    std::string odd, even;
    for (size_t k = 0; k < 8192; ++k) {
      even.push_back(linear[block + 2 * k]);
      odd.push_back(linear[block + 2 * k + 1]);
    }
    image += odd + even;
  }
  return image;
}

TEST_F(TessaryTest, HeadersAreExcludedBeforeTheChecksum) {
  std::string rom = RandomBytes(32768, 7);
  std::string lynx(64, '\0');
  lynx[5] = 1;  // one unit of 65536 bytes
  std::string lynxRom = RandomBytes(65536, 8);
  Write("a.a78", RandomBytes(128, 1) + rom);
  Write("b.LNX", lynx + lynxRom + "trailing bytes are ignored");
  Write("c.nes", RandomBytes(16, 2) + rom);
  Write("d.smd", InterleaveSmd(rom));
  Write("e.swc", RandomBytes(512, 3) + rom);
  Write("f.fig", rom);
  Write("g.fig", rom + "x");             // neither 0 nor 512 over 8 KiB
  Write("h.smd", rom);                   // no copier signature
  Write("i.a78", RandomBytes(100, 4));   // shorter than its header
  testsupport::ProgramResult result = Run({"-d", "*.*"});
  std::string crc = Hex8(ReferenceCrc(rom));
  std::string expected = "*.*  \n" + crc + " a.a78\n" +
                         Hex8(ReferenceCrc(lynxRom)) + " b.lnx\n" + crc +
                         " c.nes\n" + crc + " d.smd\n" + crc + " e.swc\n" +
                         crc + " f.fig\n";
  EXPECT_EQ(WalkOrderFree(result.out, 1), WalkOrderFree(Text(expected), 1));
  EXPECT_EQ(result.err, Text(std::string(kBanner) + "Dump mode\n\n"));
}

// ---- Rename mode ----

TEST_F(TessaryTest, DumpReadsBackAsACatalogThatSortsTheSameFiles) {
  Write("Pac-Man (USA).a26", "pacman");
  Write("combat.bin", "combat");
  testsupport::ProgramResult dump = Run({"-d", "*.a26", "*.bin"});
  Write("2600.dat", dump.out);
  testsupport::ProgramResult result = RunRename({"2600"});
  EXPECT_EQ(result.out, Text("*.a26 *.bin   \n"));
  EXPECT_EQ(result.err, Text(std::string(kBanner) +
                             "2 files from 2600.dat.\n\n\nUnloading Data\n"));
  EXPECT_EQ(Files(), (std::vector<std::string>{
                         "2600.dat", "2600/Pac-Man (USA).a26", "2600/combat.bin"}));
}

TEST_F(TessaryTest, IdenticalFilesGoToTheFolderThenToNumberedDupes) {
  for (const char* name : {"a.a26", "b.a26", "c.a26"}) Write(name, "abc");
  Write("2600.dat", "*.a26  \n352441c2 Pac-Man\n");
  RunRename({"2600"});
  EXPECT_EQ(Files(), (std::vector<std::string>{
                         "2600.dat", "2600/Pac-Man.a26", "dupes/Pac-Man.a20",
                         "dupes/Pac-Man.a26"}));
  // A second run over a new copy: the catalog folder already holds the
  // name, so the copy goes to dupes though its entry is not yet taken.
  Write("d.a26", "abc");
  RunRename({"2600"});
  EXPECT_TRUE(testsupport::PathExists(dir_.Join("dupes/Pac-Man.a21")));
  EXPECT_FALSE(testsupport::PathExists(dir_.Join("d.a26")));
}

TEST_F(TessaryTest, PlainFileWithTheFolderNameSendsFilesToDupes) {
  Write("2600", "a file, not a folder");
  Write("a.a26", "abc");
  Write("2600.dat", "*.a26  \n352441c2 Pac-Man\n");
  RunRename({"2600"});
  EXPECT_EQ(Files(), (std::vector<std::string>{"2600", "2600.dat",
                                               "dupes/Pac-Man.a26"}));
}

TEST_F(TessaryTest, UnsafeCatalogNamesAreRefusedAndTheFileStays) {
  Write("a.a26", "abc");
  Write("b.a26", "def");
  Write("2600.dat", "*.a26  \n352441c2 ../../escaped\n" +
                        Hex8(ReferenceCrc("def")) + " sub\\dir\n");
  testsupport::ProgramResult result = RunRename({"2600"});
  // The two messages come in the walk order of a.a26 and b.a26.
  std::string expected =
      std::string(kBanner) + "2 files from 2600.dat.\n\n" +
      "Err: Refused unsafe catalog name \"../../escaped\" for " + Folder() +
      "a.a26\n" + "Err: Refused unsafe catalog name \"sub\\dir\" for " +
      Folder() + "b.a26\n\nUnloading Data\n";
  EXPECT_EQ(WalkOrderFree(result.err, 2), WalkOrderFree(Text(expected), 2));
  EXPECT_EQ(Files(), (std::vector<std::string>{"2600.dat", "a.a26", "b.a26"}));
}

TEST_F(TessaryTest, CatalogsWithoutRecordsTouchNothing) {
  Write("a.a26", "abc");
  const char* catalogs[] = {nullptr, "", "*.a26  \n", "[CREDITS]\nx\n"};
  for (const char* catalog : catalogs) {
    if (catalog != nullptr) Write("2600.dat", catalog);
    testsupport::ProgramResult result = RunRename({"2600"});
    EXPECT_EQ(result.err, Text(std::string(kBanner) + "Error getting data.\n"));
    EXPECT_TRUE(testsupport::PathExists(dir_.Join("a.a26")));
  }
}

TEST_F(TessaryTest, SectionedCatalogSortsEveryFileItLists) {
  Write("x.bin", "abc");
  Write("y.nes", std::string(16, 'h') + "abc");  // same game, NES header
  Write("z.txt", "not listed");
  Write("set.dat", "[GAMES]\r\n\xAC" "1\xAC" "Game\xAC" "3\xAC" "4\xAC" "5\xAC" "352441c2\r\n");
  testsupport::ProgramResult result = RunRename({"set"});
  EXPECT_EQ(result.out, Text("*.* \n"));
  // The file walked first takes the catalog folder, the other goes to dupes.
  std::vector<std::string> binFirst = {"dupes/Game.nes", "set.dat",
                                       "set/Game.bin", "z.txt"};
  std::vector<std::string> nesFirst = {"dupes/Game.bin", "set.dat",
                                       "set/Game.nes", "z.txt"};
  EXPECT_EQ(Files(),
            testsupport::ExpectedForWalkOrder(Files(), binFirst, nesFirst));
}

}  // namespace
