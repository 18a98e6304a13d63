#include "tests/faults/fault_support.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace faults {

namespace {

using testsupport::Hex8;
using testsupport::ReferenceCrc;

// Reads or changes the inode flags of `path`. Returns true on success.
bool ChangeImmutable(const std::string& path, bool on) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  close(fd);
  return done;
}

// Creates `path` and writes to it until the file system refuses. Returns
// true when it refused for lack of space.
bool WriteUntilFull(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return errno == ENOSPC;
  std::string block(4096, 'f');
  ssize_t written;
  while ((written = write(fd, block.data(), block.size())) > 0) {
  }
  bool full = written < 0 && errno == ENOSPC;
  close(fd);
  return full;
}

}  // namespace

bool EnterPrivateMounts() {
  if (unshare(CLONE_NEWNS) != 0) return false;
  // Without this, mounts made here could still spread to the parent's view.
  return mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

ScopedMount ScopedMount::Tmpfs(const std::string& target,
                               const std::string& options) {
  bool ok =
      mount("tmpfs", target.c_str(), "tmpfs", 0, options.c_str()) == 0;
  return ScopedMount(ok ? target : std::string());
}

ScopedMount ScopedMount::ReadOnlyBind(const std::string& target) {
  if (mount(target.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    return ScopedMount(std::string());
  }
  ScopedMount bound(target);
  if (mount(nullptr, target.c_str(), nullptr,
            MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
    return ScopedMount(std::string());  // `bound` detaches the plain bind
  }
  return bound;
}

ScopedMount::ScopedMount(ScopedMount&& other) noexcept
    : target_(std::move(other.target_)) {
  other.target_.clear();
}

ScopedMount::~ScopedMount() {
  if (!target_.empty()) umount2(target_.c_str(), MNT_DETACH);
}

ScopedImmutable::ScopedImmutable(const std::string& path)
    : path_(path), ok_(ChangeImmutable(path, true)) {}

ScopedImmutable::~ScopedImmutable() {
  if (ok_) ChangeImmutable(path_, false);
}

bool FillFileSystem(const std::string& folder) {
  // Blocks first, while a file can still be made to hold them.
  if (!WriteUntilFull(folder + "/zz-fill-0")) return false;
  for (int i = 1; i < 100000; ++i) {
    std::string path = folder + "/zz-fill-" + std::to_string(i);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) break;
    close(fd);
  }
  std::string probe = folder + "/zz-probe";
  if (mkdir(probe.c_str(), 0755) == 0) {
    rmdir(probe.c_str());
    return false;
  }
  return errno == ENOSPC;
}

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    std::string candidate = folders.substr(start, end - start) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::string();
}

std::multiset<std::string> SnapshotBounded(const std::string& root,
                                           uint64_t limit) {
  std::multiset<std::string> contents;
  for (const std::string& file : testsupport::ListFiles(root)) {
    std::string path = root + "/" + file;
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) continue;
    if (S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) <= limit) {
      contents.insert(testsupport::ReadFile(path));
    } else {
      contents.insert(file + " of " + std::to_string(info.st_size) + " bytes");
    }
  }
  return contents;
}

RenameScenario RomScenario() {
  std::string game = testsupport::RandomBytes(3000, 2600);
  RenameScenario scenario;
  scenario.label = "Tessary";
  scenario.program = TESSARY_PATH;
  scenario.args = {"2600"};
  scenario.files = {{"2600.dat", "*.a26  \n" + Hex8(ReferenceCrc(game)) +
                                     " Pac-Man\n"},
                    {"a.a26", game}};
  // The echo of the pattern line adds one space to the two it ends with.
  scenario.out = "*.a26   \n";
  scenario.err =
      "Tessary v1.0 (Release)\n1 files from 2600.dat.\n\n\nUnloading Data\n";
  scenario.source = "a.a26";
  scenario.placed = "2600/Pac-Man.a26";
  scenario.duplicate = "dupes/Pac-Man.a26";
  return scenario;
}

RenameScenario PictureScenario() {
  // A baseline frame header of 64 x 48 pixels, then bytes that no
  // decoder needs: the tool reads the size and checksums the whole file.
  std::string picture = std::string("\xFF\xD8\xFF\xC0\x00\x11\x08\x00\x30\x00\x40", 11) +
                        testsupport::RandomBytes(500, 64);
  RenameScenario scenario;
  scenario.label = "Quarn";
  scenario.program = QUARN_PATH;
  scenario.args = {"set"};
  scenario.files = {{"set.crc", "Pictures\n--------\nSunset.jpg  511  64 x 48  " +
                                    Hex8(ReferenceCrc(picture)) + "\n"},
                    {"pic.jpg", picture}};
  scenario.out = "";
  scenario.err =
      "Quarn v1.0 (Release)\n1 files from set.crc.\n\n\nUnloading Data\n";
  scenario.source = "pic.jpg";
  scenario.placed = "set/Sunset.jpg";
  scenario.duplicate = "dupes/Sunset.jpg";
  return scenario;
}

std::vector<RenameScenario> BothTools() {
  return {RomScenario(), PictureScenario()};
}

std::string CatalogFolder(const RenameScenario& scenario) {
  return scenario.placed.substr(0, scenario.placed.find('/'));
}

std::string FaultTest::MakeFolder(const std::string& name) {
  std::string folder = dir_.Join(name);
  testsupport::MakeFolder(folder);
  std::string resolved = testsupport::WorkingDirectoryView(folder);
  resolved.pop_back();  // the separator
  return resolved;
}

void FaultTest::Prepare(const RenameScenario& scenario,
                        const std::string& folder) {
  for (const auto& file : scenario.files) {
    testsupport::WriteFile(folder + "/" + file.first, file.second);
  }
}

std::vector<std::string> FaultTest::RunChecked(const RenameScenario& scenario,
                                               const std::string& folder) {
  // Links and huge sparse files count by name and size, not by contents.
  const uint64_t kReadLimit = 1 << 20;
  std::multiset<std::string> before = SnapshotBounded(folder, kReadLimit);
  testsupport::ProgramResult result =
      testsupport::RunProgram(scenario.program, scenario.args, folder);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, scenario.out);
  EXPECT_EQ(result.err, scenario.err);
  EXPECT_EQ(SnapshotBounded(folder, kReadLimit), before)
      << "file contents changed by the run";
  return testsupport::ListFiles(folder);
}

void FaultTest::ExpectLanding(const RenameScenario& scenario,
                              const std::string& folder,
                              const std::string& landing) {
  std::vector<std::string> expected = testsupport::ListFiles(folder);
  if (!landing.empty()) {
    std::replace(expected.begin(), expected.end(), scenario.source, landing);
    std::sort(expected.begin(), expected.end());
  }
  EXPECT_EQ(RunChecked(scenario, folder), expected);
}

}  // namespace faults
