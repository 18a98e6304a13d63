// Process-level tests of Tessary on zip archives, and on files too large
// for the format's 32-bit sizes.
#include <string>
#include <vector>

#include "tests/romtool/tessary_fixture.h"
#include "tests/support/zip_builder.h"

namespace {

using testsupport::Hex8;
using testsupport::RandomBytes;
using testsupport::ReferenceCrc;
using testsupport::WalkOrderFree;
using zipbuilder::DeflatedMember;
using zipbuilder::kCorruptText;
using zipbuilder::kUnsupportedText;
using zipbuilder::StoredMember;

class TessaryArchiveTest : public TessaryTest {
 protected:
  void WriteZip(const std::string& name,
                const std::vector<zipbuilder::Member>& members) {
    zipbuilder::Archive archive;
    archive.members = members;
    Write(name, zipbuilder::Build(archive));
  }
  std::string Report(const std::string& name, const char* reason) {
    return zipbuilder::Report(Folder() + name, reason);
  }
  std::string DumpErr() { return Text(std::string(kBanner) + "Dump mode\n\n"); }
};

TEST_F(TessaryArchiveTest, HeaderedMemberIsReadAndTheArchiveNameKept) {
  std::string rom = RandomBytes(40960, 1);
  WriteZip("roms.ZIP", {DeflatedMember("game.NES", RandomBytes(16, 2) + rom),
                        StoredMember("readme.txt", "not a game")});
  testsupport::ProgramResult result = Run({"-d", "*.nes"});
  EXPECT_EQ(result.out,
            Text("*.nes  \n" + Hex8(ReferenceCrc(rom)) + " roms.ZIP\n"));
  EXPECT_EQ(result.err, DumpErr());
}

TEST_F(TessaryArchiveTest, PlainMembersGoByTheRecordedCrcWithoutReading) {
  zipbuilder::Member first = StoredMember("a.bin", "first");
  zipbuilder::Member last = StoredMember("b.bin", "damaged data");
  last.crc32 = 0x00C0FFEEu;  // recorded CRC-32 that the data does not match
  last.method = 12;          // and a method that could not even be read
  WriteZip("set.zip", {first, last});
  testsupport::ProgramResult result = Run({"-d", "*.bin"});
  EXPECT_EQ(result.out, Text("*.bin  \n00c0ffee set.zip\n"));
  EXPECT_EQ(result.err, DumpErr());
}

TEST_F(TessaryArchiveTest, LastAcceptedMemberInDirectoryOrderDecides) {
  // A "." in a folder part of a member name counts as an extension; a name
  // without any "." is passed over.
  WriteZip("all.zip", {StoredMember("x.a26", "one"), StoredMember("y.txt", "two"),
                       StoredMember("folder.d/README", "three"),
                       StoredMember("NOTES", "four")});
  testsupport::ProgramResult result = Run({"-d", "*.*"});
  EXPECT_EQ(result.out,
            Text("*.*  \n" + Hex8(ReferenceCrc("three")) + " all.zip\n"));
}

TEST_F(TessaryArchiveTest, AnUnidentifiedLastMemberHidesTheArchive) {
  std::string noSignature(512 + 16384, 'x');
  WriteZip("a.zip", {StoredMember("a.bin", "abc"),
                     StoredMember("b.smd", noSignature)});
  WriteZip("b.zip", {StoredMember("notes.txt", "abc")});  // none accepted
  testsupport::ProgramResult result = Run({"-d", "*.bin", "*.smd"});
  EXPECT_EQ(result.out, Text("*.bin *.smd  \n"));
  EXPECT_EQ(result.err, DumpErr());
}

TEST_F(TessaryArchiveTest, ReportsLandInTheDumpBetweenItsLines) {
  Write("a.bin", "abc");
  Write("b.zip", "this is no archive");
  zipbuilder::Member broken = DeflatedMember("c.nes", RandomBytes(5000, 3));
  broken.data[0] = static_cast<char>(0xFF);  // an invalid deflate block type
  WriteZip("c.zip", {StoredMember("ok.nes", std::string(16, 'h') + "abc"),
                     broken});
  zipbuilder::Member later = StoredMember("d.nes", std::string(16, 'h') + "x");
  later.method = 14;
  WriteZip("d.zip", {later});
  Write("e.bin", "def");
  testsupport::ProgramResult result = Run({"-d", "*.bin", "*.nes"});
  std::string expected = "*.bin *.nes  \n" + Hex8(ReferenceCrc("abc")) +
                         " a.bin\n" + Hex8(ReferenceCrc("def")) + " e.bin\n" +
                         Report("b.zip", kCorruptText) +
                         Report("c.zip", kCorruptText) +
                         Report("d.zip", kUnsupportedText);
  EXPECT_EQ(WalkOrderFree(result.out, 1), WalkOrderFree(Text(expected), 1));
  EXPECT_EQ(result.err, DumpErr());
}

TEST_F(TessaryArchiveTest, ExtensionsAgreeingWithZipAreOpenedAsArchives) {
  Write("x.zipx", "plain bytes");
  Write("y.z", "plain bytes");
  Write("z.z64", "plain bytes");
  // z.z64 is a plain file, and "*.z*" accepts no plain extension.
  testsupport::ProgramResult result = Run({"-d", "*.z*"});
  std::string expected =
      "*.z*  \n" + Report("x.zipx", kCorruptText) + Report("y.z", kCorruptText);
  EXPECT_EQ(WalkOrderFree(result.out, 1), WalkOrderFree(Text(expected), 1));
}

TEST_F(TessaryArchiveTest, RenameModeMovesTheWholeArchive) {
  std::string rom = RandomBytes(3000, 4);
  WriteZip("Pack.zip", {DeflatedMember("game.a26", rom)});
  Write("2600.dat", "*.a26  \n" + Hex8(ReferenceCrc(rom)) + " Game Pack\n");
  testsupport::ProgramResult result = RunRename({"2600"});
  EXPECT_EQ(result.err, Text(std::string(kBanner) +
                             "1 files from 2600.dat.\n\n\nUnloading Data\n"));
  EXPECT_EQ(Files(), (std::vector<std::string>{"2600.dat", "2600/Game Pack.zip"}));
}

TEST_F(TessaryArchiveTest, FilesOfFourGibibytesOrMoreAreRefused) {
  if (!testsupport::MakeSparseFile(dir_.Join("huge.bin"), 0x100000000ULL)) {
    GTEST_SKIP() << "the file system refuses a 4 GiB file";
  }
  Write("small.bin", "abc");
  testsupport::ProgramResult result = Run({"-d", "*.bin"});
  EXPECT_EQ(result.out,
            Text("*.bin  \n" + Hex8(ReferenceCrc("abc")) + " small.bin\n"));
  EXPECT_EQ(result.err,
            DumpErr() + Text("\nErr: File too large " + Folder() + "huge.bin\n"));
}

}  // namespace
