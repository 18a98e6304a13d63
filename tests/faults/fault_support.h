// Injecting faults underneath the tools: private mounts (a small full
// disk, a read-only view, another volume), the immutable attribute, an
// unprivileged user, and the rename runs the fault tests put through them.
// Every injector reports whether this machine allows it, so that a test
// that cannot have its fault is skipped rather than failed.
#ifndef TESTS_FAULTS_FAULT_SUPPORT_H_
#define TESTS_FAULTS_FAULT_SUPPORT_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"

namespace faults {

// Moves this process into a mount namespace of its own: its mounts are
// never seen outside it and vanish with it, even after a crash. The
// programs it runs inherit it. Returns false when the system refuses.
bool EnterPrivateMounts();

// A mount made by a test, detached again when it goes out of scope.
class ScopedMount {
 public:
  // A tmpfs of `options` (such as "size=64k,nr_inodes=8") on `target`.
  static ScopedMount Tmpfs(const std::string& target,
                           const std::string& options);
  // A read-only view of the folder `target` on itself.
  static ScopedMount ReadOnlyBind(const std::string& target);
  ScopedMount(ScopedMount&& other) noexcept;
  ScopedMount(const ScopedMount&) = delete;
  ScopedMount& operator=(const ScopedMount&) = delete;
  ~ScopedMount();
  bool ok() const { return !target_.empty(); }

 private:
  explicit ScopedMount(std::string target) : target_(std::move(target)) {}
  std::string target_;  // empty when the mount failed
};

// Sets the immutable attribute of `path` (a file or a folder) and clears
// it again when it goes out of scope; ok() is false when the file system
// or the process's privileges do not allow it.
class ScopedImmutable {
 public:
  explicit ScopedImmutable(const std::string& path);
  ScopedImmutable(const ScopedImmutable&) = delete;
  ScopedImmutable& operator=(const ScopedImmutable&) = delete;
  ~ScopedImmutable();
  bool ok() const { return ok_; }

 private:
  std::string path_;
  bool ok_ = false;
};

// Fills the file system of `folder` until it has neither a free block nor
// a free inode, with files named "zz-fill-N" (no extension, so no pattern
// of the tests picks them up). Returns true when a folder can no longer be
// made there.
bool FillFileSystem(const std::string& folder);

// The full path of the program `name` found on PATH, or "".
std::string FindProgram(const std::string& name);

// The contents of the files under `root` that are at most `limit` bytes
// long, and the names and sizes of the longer ones, which are not read.
std::multiset<std::string> SnapshotBounded(const std::string& root,
                                           uint64_t limit);

// A rename run of one tool: the files it starts with, its exact output,
// and where its one identified file lands when the moves succeed.
struct RenameScenario {
  const char* label;
  std::string program;
  std::vector<std::string> args;
  std::vector<std::pair<std::string, std::string>> files;  // name, bytes
  std::string out;
  std::string err;
  std::string source;     // the identified file, e.g. "a.a26"
  std::string placed;     // its place after a first move that succeeds
  std::string duplicate;  // its place in "dupes"
};

// Tessary with catalog 2600 listing a.a26 as Pac-Man; Quarn with catalog
// set listing pic.jpg as Sunset.
RenameScenario RomScenario();
RenameScenario PictureScenario();
std::vector<RenameScenario> BothTools();

// The folder that receives a scenario's first move, such as "2600".
std::string CatalogFolder(const RenameScenario& scenario);

// A fresh folder per test, in which scenarios are prepared and run.
class FaultTest : public testing::Test {
 protected:
  // The folder `name` inside the test's folder, created empty, with its
  // resolved path (as the tools print it) and no trailing separator.
  std::string MakeFolder(const std::string& name);

  void Prepare(const RenameScenario& scenario, const std::string& folder);

  // Runs the scenario's program in `folder` and checks its exact output,
  // exit status 0 and that every file's contents are still there, once
  // (SnapshotBounded). Returns the files under `folder` afterwards.
  std::vector<std::string> RunChecked(const RenameScenario& scenario,
                                      const std::string& folder);

  // RunChecked, expecting the scenario's identified file at `landing`
  // afterwards ("" when it stays) and every other file where it was.
  void ExpectLanding(const RenameScenario& scenario, const std::string& folder,
                     const std::string& landing);

  // Calls `body(scenario, folder)` for each tool's scenario with a fresh
  // folder named `prefix` and the tool's label; the body prepares, injects
  // its fault and runs. Stops once the test is skipped or fatally failed.
  template <class Body>
  void ForBothTools(const std::string& prefix, Body body) {
    for (const RenameScenario& scenario : BothTools()) {
      SCOPED_TRACE(scenario.label);
      body(scenario, MakeFolder(prefix + scenario.label));
      if (IsSkipped() || HasFatalFailure()) return;
    }
  }

  testsupport::ScopedTempDir dir_;
};

}  // namespace faults

#endif  // TESTS_FAULTS_FAULT_SUPPORT_H_
