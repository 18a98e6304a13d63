// Faults of the disk underneath a rename run: no room left for a folder, a
// read-only disk or folder, a user without the right to write, and a
// catalog folder on another volume. Whatever fails, the run ends with
// status 0 and exactly its usual messages, and every file is still there,
// once: in its place, or where a move that did succeed put it.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/faults/fault_support.h"

namespace faults {
namespace {

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
  ForBothTools("full-", [&](const RenameScenario& scenario,
                            const std::string& folder) {
    ScopedMount disk = ScopedMount::Tmpfs(folder, "size=64k,nr_inodes=16");
    if (!disk.ok()) GTEST_SKIP() << "tmpfs cannot be mounted here";
    Prepare(scenario, folder);
    if (!FillFileSystem(folder)) {
      GTEST_SKIP() << "a full tmpfs still takes new folders here";
    }
    ExpectLanding(scenario, folder, "");
  });
}

TEST_F(MountFaultTest, FullDiskStillTakesMovesIntoExistingFolders) {
  ForBothTools("full-", [&](const RenameScenario& scenario,
                            const std::string& folder) {
    ScopedMount disk = ScopedMount::Tmpfs(folder, "size=64k,nr_inodes=16");
    if (!disk.ok()) GTEST_SKIP() << "tmpfs cannot be mounted here";
    Prepare(scenario, folder);
    testsupport::MakeFolder(folder + "/" + CatalogFolder(scenario));
    testsupport::MakeFolder(folder + "/dupes");
    if (!FillFileSystem(folder)) {
      GTEST_SKIP() << "a full tmpfs still takes new folders here";
    }
    ExpectLanding(scenario, folder, scenario.placed);
  });
}

TEST_F(MountFaultTest, ReadOnlyDiskMovesNothing) {
  ForBothTools("ro-", [&](const RenameScenario& scenario,
                          const std::string& folder) {
    Prepare(scenario, folder);
    ScopedMount readOnly = ScopedMount::ReadOnlyBind(folder);
    if (!readOnly.ok()) GTEST_SKIP() << "no read-only bind mount here";
    ExpectLanding(scenario, folder, "");
  });
}

TEST_F(MountFaultTest, CatalogFolderOnAnotherVolumeSendsTheFileToDupes) {
  // A move never copies: across volumes it fails, like any other failed
  // move, and the file goes to "dupes" on its own volume.
  ForBothTools("vol-", [&](const RenameScenario& scenario,
                           const std::string& folder) {
    Prepare(scenario, folder);
    std::string other = folder + "/" + CatalogFolder(scenario);
    testsupport::MakeFolder(other);
    ScopedMount volume = ScopedMount::Tmpfs(other, "size=64k");
    if (!volume.ok()) GTEST_SKIP() << "tmpfs cannot be mounted here";
    ExpectLanding(scenario, folder, scenario.duplicate);
  });
}

TEST_F(FaultTest, ImmutableFolderMovesNothing) {
  ForBothTools("imm-", [&](const RenameScenario& scenario,
                           const std::string& folder) {
    Prepare(scenario, folder);
    ScopedImmutable locked(folder);
    if (!locked.ok()) GTEST_SKIP() << "no immutable attribute here";
    ExpectLanding(scenario, folder, "");
  });
}

TEST_F(FaultTest, ImmutableCatalogFolderSendsTheFileToDupes) {
  ForBothTools("immcat-", [&](const RenameScenario& scenario,
                              const std::string& folder) {
    Prepare(scenario, folder);
    std::string target = folder + "/" + CatalogFolder(scenario);
    testsupport::MakeFolder(target);
    ScopedImmutable locked(target);
    if (!locked.ok()) GTEST_SKIP() << "no immutable attribute here";
    ExpectLanding(scenario, folder, scenario.duplicate);
  });
}

TEST_F(FaultTest, UserWithoutWriteRightsMovesNothing) {
  std::string setpriv = FindProgram("setpriv");
  if (geteuid() != 0 || setpriv.empty()) {
    GTEST_SKIP() << "needs root and setpriv to run as another user";
  }
  // The folders must be open to the other user for reading.
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
  ForBothTools("user-", [&](RenameScenario scenario,
                            const std::string& folder) {
    Prepare(scenario, folder);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    std::vector<std::string> args = {"--reuid=65534", "--regid=65534",
                                     "--clear-groups", "--inh-caps=-all",
                                     scenario.program};
    if (testsupport::RunProgram(setpriv, args, folder).status != 0) {
      GTEST_SKIP() << "the tools cannot run as an unprivileged user here";
    }
    args.insert(args.end(), scenario.args.begin(), scenario.args.end());
    scenario.program = setpriv;
    scenario.args = args;
    ExpectLanding(scenario, folder, "");
  });
}

}  // namespace
}  // namespace faults
