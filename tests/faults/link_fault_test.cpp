// Odd things in the working folder of a rename run: dangling links where
// the target folders should be, a loop of links among the files, files
// too large for the formats' 32-bit sizes, and names at the file system's
// 255-byte limit. The run ends with status 0 and exactly its messages, and
// every file is still there, once.
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/faults/fault_support.h"
#include "tests/support/zip_builder.h"

namespace faults {
namespace {

using testsupport::Hex8;
using testsupport::ReferenceCrc;

// `files` sorted, as testsupport::ListFiles gives them.
std::vector<std::string> Sorted(std::vector<std::string> files) {
  std::sort(files.begin(), files.end());
  return files;
}

TEST_F(FaultTest, DanglingLinkNamedLikeTheCatalogFolderSendsTheFileToDupes) {
  ForBothTools("dangling-", [&](const RenameScenario& scenario,
                                const std::string& folder) {
    Prepare(scenario, folder);
    std::string link = folder + "/" + CatalogFolder(scenario);
    ASSERT_EQ(symlink("missing/folder", link.c_str()), 0);
    ExpectLanding(scenario, folder, scenario.duplicate);
  });
}

TEST_F(FaultTest, NoUsableFolderAtAllMovesNothing) {
  // The catalog folder a dangling link and "dupes" a plain file, or both
  // dangling links: every move fails and the file stays.
  for (bool dupesIsAFile : {true, false}) {
    SCOPED_TRACE(dupesIsAFile ? "dupes a file" : "dupes a link");
    ForBothTools(dupesIsAFile ? "f-" : "l-", [&](const RenameScenario& scenario,
                                                 const std::string& folder) {
      Prepare(scenario, folder);
      std::string link = folder + "/" + CatalogFolder(scenario);
      ASSERT_EQ(symlink("missing/folder", link.c_str()), 0);
      if (dupesIsAFile) {
        testsupport::WriteFile(folder + "/dupes", "not a folder");
      } else {
        ASSERT_EQ(symlink("missing/dupes", (folder + "/dupes").c_str()), 0);
      }
      ExpectLanding(scenario, folder, "");
    });
  }
}

TEST_F(FaultTest, LinkLoopAmongTheFilesIsPassedOver) {
  ForBothTools("loop-", [&](const RenameScenario& scenario,
                            const std::string& folder) {
    Prepare(scenario, folder);
    std::string extension = scenario.source.substr(scenario.source.rfind('.'));
    std::string first = "loop1" + extension;
    std::string second = "loop2" + extension;
    ASSERT_EQ(symlink(second.c_str(), (folder + "/" + first).c_str()), 0);
    ASSERT_EQ(symlink(first.c_str(), (folder + "/" + second).c_str()), 0);
    ExpectLanding(scenario, folder, scenario.placed);
  });
}

TEST_F(FaultTest, FilesOver4GiBAreRefusedAndKept) {
  const uint64_t kSize = 0x100000001ULL;  // 4 GiB and one byte, sparse
  RenameScenario rom = RomScenario();
  std::string romFolder = MakeFolder("sparse-rom");
  Prepare(rom, romFolder);
  if (!testsupport::MakeSparseFile(romFolder + "/big.a26", kSize) ||
      !testsupport::MakeSparseFile(romFolder + "/big.zip", kSize)) {
    GTEST_SKIP() << "the file system refuses files over 4 GiB";
  }
  rom.out += zipbuilder::Report(romFolder + "/big.zip",
                                zipbuilder::kUnsupportedText);
  rom.err = "Tessary v1.0 (Release)\n1 files from 2600.dat.\n\n"
            "\nErr: File too large " + romFolder + "/big.a26\n"
            "\nUnloading Data\n";
  EXPECT_EQ(RunChecked(rom, romFolder),
            Sorted({"2600.dat", "2600/Pac-Man.a26", "big.a26", "big.zip"}));

  RenameScenario picture = PictureScenario();
  std::string pictureFolder = MakeFolder("sparse-picture");
  Prepare(picture, pictureFolder);
  ASSERT_TRUE(testsupport::MakeSparseFile(pictureFolder + "/big.jpg", kSize));
  picture.err = "Quarn v1.0 (Release)\n1 files from set.crc.\n\n"
                "\nErr: File too large " + pictureFolder + "/big.jpg\n"
                "\nUnloading Data\n";
  EXPECT_EQ(RunChecked(picture, pictureFolder),
            Sorted({"big.jpg", "set.crc", "set/Sunset.jpg"}));
}

// Three copies of one image whose targets are `nameLength` bytes long: a
// catalog name of 100 bytes (the most a .dat name holds) followed by the
// files' own extension, made long enough to fill the rest.
RenameScenario LongNameScenario(size_t nameLength) {
  std::string game = testsupport::RandomBytes(2000, 255);
  std::string catalogName(100, 'P');
  std::string extension = "." + std::string(nameLength - 100 - 1, 'x');
  RenameScenario scenario = RomScenario();
  scenario.files = {{"2600.dat", "*.*  \n" + Hex8(ReferenceCrc(game)) + " " +
                                     catalogName + "\n"},
                    {"a" + extension, game},
                    {"b" + extension, game},
                    {"c" + extension, game}};
  scenario.out = "*.*   \n";
  scenario.placed = "2600/" + catalogName + extension;
  scenario.duplicate = "dupes/" + catalogName + extension;
  return scenario;
}

TEST_F(FaultTest, NamesAt255BytesTakeTheNumberedRetries) {
  RenameScenario scenario = LongNameScenario(255);
  std::string folder = MakeFolder("long255");
  Prepare(scenario, folder);
  std::string numbered = scenario.duplicate;
  numbered.back() = '0';
  EXPECT_EQ(RunChecked(scenario, folder),
            Sorted({"2600.dat", scenario.placed, scenario.duplicate, numbered}));
}

TEST_F(FaultTest, NamesOver255BytesMoveNothing) {
  RenameScenario scenario = LongNameScenario(256);
  std::string folder = MakeFolder("long256");
  Prepare(scenario, folder);
  ExpectLanding(scenario, folder, "");
}

}  // namespace
}  // namespace faults
