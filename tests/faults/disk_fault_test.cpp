// Faults of the disk underneath a rename run: no room left for a folder, a
// read-only disk or folder, a user without the right to write, and a
// catalog folder on another volume. Whatever fails, the run ends with
// status 0 and exactly its usual messages, and every file is still there,
// once: in its place, or where a move that did succeed put it.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/faults/fault_support.h"

namespace faults {
namespace {

using testsupport::ListFiles;

// The files of `folder` with `from` moved to `to`, sorted as ListFiles is.
std::vector<std::string> MovedTo(const std::string& folder,
                                 const std::string& from,
                                 const std::string& to) {
  std::vector<std::string> files = ListFiles(folder);
  std::replace(files.begin(), files.end(), from, to);
  std::sort(files.begin(), files.end());
  return files;
}

// The folder that receives a scenario's first move, such as "2600".
std::string CatalogFolder(const RenameScenario& scenario) {
  return scenario.placed.substr(0, scenario.placed.find('/'));
}

// Tests that mount file systems, inside a mount namespace of their own.
class MountFaultTest : public FaultTest {
 protected:
  void SetUp() override {
    if (!EnterPrivateMounts()) {
      GTEST_SKIP() << "this system allows no private mounts";
    }
  }
};

TEST_F(MountFaultTest, FullDiskWithoutRoomForAFolderMovesNothing) {
  for (const RenameScenario& scenario : BothTools()) {
    SCOPED_TRACE(scenario.label);
    std::string folder = MakeFolder(std::string("full-") + scenario.label);
    ScopedMount disk = ScopedMount::Tmpfs(folder, "size=64k,nr_inodes=16");
    if (!disk.ok()) GTEST_SKIP() << "tmpfs cannot be mounted here";
    Prepare(scenario, folder);
    if (!FillFileSystem(folder)) {
      GTEST_SKIP() << "a full tmpfs still takes new folders here";
    }
    std::vector<std::string> before = ListFiles(folder);
    EXPECT_EQ(RunChecked(scenario, folder), before);
  }
}

TEST_F(MountFaultTest, FullDiskStillTakesMovesIntoExistingFolders) {
  for (const RenameScenario& scenario : BothTools()) {
    SCOPED_TRACE(scenario.label);
    std::string folder = MakeFolder(std::string("full-") + scenario.label);
    ScopedMount disk = ScopedMount::Tmpfs(folder, "size=64k,nr_inodes=16");
    if (!disk.ok()) GTEST_SKIP() << "tmpfs cannot be mounted here";
    Prepare(scenario, folder);
    testsupport::MakeFolder(folder + "/" + CatalogFolder(scenario));
    testsupport::MakeFolder(folder + "/dupes");
    if (!FillFileSystem(folder)) {
      GTEST_SKIP() << "a full tmpfs still takes new folders here";
    }
    std::vector<std::string> expected =
        MovedTo(folder, scenario.source, scenario.placed);
    EXPECT_EQ(RunChecked(scenario, folder), expected);
  }
}

TEST_F(MountFaultTest, ReadOnlyDiskMovesNothing) {
  for (const RenameScenario& scenario : BothTools()) {
    SCOPED_TRACE(scenario.label);
    std::string folder = MakeFolder(std::string("ro-") + scenario.label);
    Prepare(scenario, folder);
    ScopedMount readOnly = ScopedMount::ReadOnlyBind(folder);
    if (!readOnly.ok()) GTEST_SKIP() << "no read-only bind mount here";
    std::vector<std::string> before = ListFiles(folder);
    EXPECT_EQ(RunChecked(scenario, folder), before);
  }
}

TEST_F(MountFaultTest, CatalogFolderOnAnotherVolumeSendsTheFileToDupes) {
  // A move never copies: across volumes it fails, like any other failed
  // move, and the file goes to "dupes" on its own volume.
  for (const RenameScenario& scenario : BothTools()) {
    SCOPED_TRACE(scenario.label);
    std::string folder = MakeFolder(std::string("vol-") + scenario.label);
    Prepare(scenario, folder);
    std::string other = folder + "/" + CatalogFolder(scenario);
    testsupport::MakeFolder(other);
    ScopedMount volume = ScopedMount::Tmpfs(other, "size=64k");
    if (!volume.ok()) GTEST_SKIP() << "tmpfs cannot be mounted here";
    std::vector<std::string> expected =
        MovedTo(folder, scenario.source, scenario.duplicate);
    EXPECT_EQ(RunChecked(scenario, folder), expected);
  }
}

TEST_F(FaultTest, ImmutableFolderMovesNothing) {
  for (const RenameScenario& scenario : BothTools()) {
    SCOPED_TRACE(scenario.label);
    std::string folder = MakeFolder(std::string("imm-") + scenario.label);
    Prepare(scenario, folder);
    ScopedImmutable locked(folder);
    if (!locked.ok()) GTEST_SKIP() << "no immutable attribute here";
    std::vector<std::string> before = ListFiles(folder);
    EXPECT_EQ(RunChecked(scenario, folder), before);
  }
}

TEST_F(FaultTest, ImmutableCatalogFolderSendsTheFileToDupes) {
  for (const RenameScenario& scenario : BothTools()) {
    SCOPED_TRACE(scenario.label);
    std::string folder = MakeFolder(std::string("immcat-") + scenario.label);
    Prepare(scenario, folder);
    std::string target = folder + "/" + CatalogFolder(scenario);
    testsupport::MakeFolder(target);
    ScopedImmutable locked(target);
    if (!locked.ok()) GTEST_SKIP() << "no immutable attribute here";
    std::vector<std::string> expected =
        MovedTo(folder, scenario.source, scenario.duplicate);
    EXPECT_EQ(RunChecked(scenario, folder), expected);
  }
}

TEST_F(FaultTest, UserWithoutWriteRightsMovesNothing) {
  std::string setpriv = FindProgram("setpriv");
  if (geteuid() != 0 || setpriv.empty()) {
    GTEST_SKIP() << "needs root and setpriv to run as another user";
  }
  // The folders must be open to the other user for reading.
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
  const std::vector<std::string> asNobody = {
      "--reuid=65534", "--regid=65534", "--clear-groups", "--inh-caps=-all"};
  for (RenameScenario scenario : BothTools()) {
    SCOPED_TRACE(scenario.label);
    std::string folder = MakeFolder(std::string("user-") + scenario.label);
    Prepare(scenario, folder);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    std::vector<std::string> args = asNobody;
    args.push_back(scenario.program);
    if (testsupport::RunProgram(setpriv, args, folder).status != 0) {
      GTEST_SKIP() << "the tools cannot run as an unprivileged user here";
    }
    args.insert(args.end(), scenario.args.begin(), scenario.args.end());
    scenario.program = setpriv;
    scenario.args = args;
    std::vector<std::string> before = ListFiles(folder);
    EXPECT_EQ(RunChecked(scenario, folder), before);
  }
}

}  // namespace
}  // namespace faults
