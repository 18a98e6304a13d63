// Odd things in the working folder of a rename run: dangling links where
// the target folders should be, a loop of links among the files, files
// too large for the formats' 32-bit sizes, and names at the file system's
// 255-byte limit. The run ends with status 0 and exactly its messages, and
// every file is still there, once.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/faults/fault_support.h"

namespace faults {
namespace {

using testsupport::Hex8;
using testsupport::ListFiles;
using testsupport::ReferenceCrc;

// `files` sorted, as ListFiles gives them.
std::vector<std::string> Sorted(std::vector<std::string> files) {
  std::sort(files.begin(), files.end());
  return files;
}

std::string CatalogFolder(const RenameScenario& scenario) {
  return scenario.placed.substr(0, scenario.placed.find('/'));
}

// Makes a sparse file of `size` bytes; false when the file system refuses.
bool MakeSparseFile(const std::string& path, off_t size) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  bool sized = ftruncate(fd, size) == 0;
  close(fd);
  return sized;
}

TEST_F(FaultTest, DanglingLinkNamedLikeTheCatalogFolderSendsTheFileToDupes) {
  for (const RenameScenario& scenario : BothTools()) {
    SCOPED_TRACE(scenario.label);
    std::string folder = MakeFolder(std::string("dangling-") + scenario.label);
    Prepare(scenario, folder);
    std::string link = CatalogFolder(scenario);
    ASSERT_EQ(symlink("missing/folder", (folder + "/" + link).c_str()), 0);
    std::vector<std::string> expected = ListFiles(folder);
    std::replace(expected.begin(), expected.end(), scenario.source,
                 scenario.duplicate);
    EXPECT_EQ(RunChecked(scenario, folder), Sorted(expected));
  }
}

TEST_F(FaultTest, NoUsableFolderAtAllMovesNothing) {
  // The catalog folder a dangling link and "dupes" a plain file, or both
  // dangling links: every move fails and the file stays.
  for (bool dupesIsAFile : {true, false}) {
    for (const RenameScenario& scenario : BothTools()) {
      SCOPED_TRACE(std::string(scenario.label) +
                   (dupesIsAFile ? " dupes a file" : " dupes a link"));
      std::string folder = MakeFolder(std::string(dupesIsAFile ? "f-" : "l-") +
                                      scenario.label);
      Prepare(scenario, folder);
      std::string link = folder + "/" + CatalogFolder(scenario);
      ASSERT_EQ(symlink("missing/folder", link.c_str()), 0);
      if (dupesIsAFile) {
        testsupport::WriteFile(folder + "/dupes", "not a folder");
      } else {
        ASSERT_EQ(symlink("missing/dupes", (folder + "/dupes").c_str()), 0);
      }
      std::vector<std::string> before = ListFiles(folder);
      EXPECT_EQ(RunChecked(scenario, folder), before);
    }
  }
}

TEST_F(FaultTest, LinkLoopAmongTheFilesIsPassedOver) {
  for (const RenameScenario& scenario : BothTools()) {
    SCOPED_TRACE(scenario.label);
    std::string folder = MakeFolder(std::string("loop-") + scenario.label);
    Prepare(scenario, folder);
    std::string extension = scenario.source.substr(scenario.source.rfind('.'));
    std::string first = "loop1" + extension;
    std::string second = "loop2" + extension;
    ASSERT_EQ(symlink(second.c_str(), (folder + "/" + first).c_str()), 0);
    ASSERT_EQ(symlink(first.c_str(), (folder + "/" + second).c_str()), 0);
    std::vector<std::string> expected = ListFiles(folder);
    std::replace(expected.begin(), expected.end(), scenario.source,
                 scenario.placed);
    EXPECT_EQ(RunChecked(scenario, folder), Sorted(expected));
  }
}

TEST_F(FaultTest, FilesOver4GiBAreRefusedAndKept) {
  const off_t kSize = 0x100000001LL;  // 4 GiB and one byte, sparse
  RenameScenario rom = RomScenario();
  std::string romFolder = MakeFolder("sparse-rom");
  Prepare(rom, romFolder);
  if (!MakeSparseFile(romFolder + "/big.a26", kSize) ||
      !MakeSparseFile(romFolder + "/big.zip", kSize)) {
    GTEST_SKIP() << "the file system refuses files over 4 GiB";
  }
  rom.out += "Error in zipfile " + romFolder +
             "/big.zip\nThe format of this zipfile is not supported, "
             "please recompress it\n";
  rom.err = "Tessary v1.0 (Release)\n1 files from 2600.dat.\n\n"
            "\nErr: File too large " + romFolder + "/big.a26\n"
            "\nUnloading Data\n";
  EXPECT_EQ(RunChecked(rom, romFolder),
            Sorted({"2600.dat", "2600/Pac-Man.a26", "big.a26", "big.zip"}));

  RenameScenario picture = PictureScenario();
  std::string pictureFolder = MakeFolder("sparse-picture");
  Prepare(picture, pictureFolder);
  ASSERT_TRUE(MakeSparseFile(pictureFolder + "/big.jpg", kSize));
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
  std::vector<std::string> before = ListFiles(folder);
  EXPECT_EQ(RunChecked(scenario, folder), before);
}

}  // namespace
}  // namespace faults
