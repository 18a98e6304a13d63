// What no scenario can time: two processes moving files onto the same free
// names at once (a move that replaced a file, or let both have a name,
// loses one), and a name that stops being a regular file between the
// listing and the open. No file may be lost, replaced or read in part, and
// no call may block.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <set>

#include "core/crc32.h"
#include "core/patterns.h"
#include "core/placement.h"
#include "core/run.h"
#include "imagetool/identify.h"
#include "romtool/identify.h"
#include "tests/support/support.h"

namespace {

const int kRounds = 3000;

// Two child processes run `move(racer, round)` for every round, both
// starting each round together. Returns the number of successes per round.
template <class Move>
std::vector<int> Race(Move move) {
  struct Board {
    std::atomic<int> arrived[kRounds], moved[kRounds];
  };
  void* shared = mmap(nullptr, sizeof(Board), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  Board* board = new (shared) Board();
  for (int racer = 0; racer < 2; ++racer) {
    if (fork() != 0) continue;
    for (int round = 0; round < kRounds; ++round) {
      board->arrived[round]++;
      while (board->arrived[round] < 2) sched_yield();
      board->moved[round] += move(racer, round);
    }
    _exit(0);
  }
  while (wait(nullptr) > 0) {
  }
  std::vector<int> moved(board->moved, board->moved + kRounds);
  munmap(shared, sizeof(Board));
  return moved;
}

class MoveRaceTest : public testing::Test {
 protected:
  std::string Source(int racer, int round) {
    return (dir_.path() / (char('a' + racer) + std::to_string(round))).string() + ".bin";
  }
  void SetUp() override {
    for (int i = 0; i < 2 * kRounds; ++i) WriteBytes(Source(i % 2, i / 2), Source(i % 2, i / 2));
  }
  // Every file's bytes are still there, exactly once, none where it was.
  void ExpectNothingLost() {
    std::set<std::string> seen;
    size_t files = 0, inPlace = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir_.path())) {
      if (!entry.is_regular_file()) continue;
      seen.insert(ReadBytes(entry.path()));
      ++files;
      inPlace += entry.path().parent_path() == dir_.path();
    }
    EXPECT_EQ(files, 2u * kRounds);
    EXPECT_EQ(seen.size(), 2u * kRounds);
    EXPECT_EQ(inPlace, 0u);
  }
  TempDir dir_;
};

TEST_F(MoveRaceTest, NumberedRetriesIntoANewFolderPlaceEveryFile) {
  EXPECT_EQ(Race([this](int racer, int round) {
              return PlaceFile(Source(racer, round), ("f" + std::to_string(round)).c_str(), "g", true) == 0;
            }),
            std::vector<int>(kRounds, 1));
  ExpectNothingLost();
}

// Calls the dump's per-file function on `name` in `folder`, with a
// watchdog that ends the test process should the call block.
std::string Identify(const fs::path& folder, std::string name) {
  bool picture = name.back() == 'g';
  std::string patterns = picture ? "*.jpg" : "*.a26", directory = folder.string() + "/";
  Crc32InitTable();
  BuildPatternList(&patterns[0], false);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  alarm(10);
  (picture ? IdentifyImageFile : IdentifyRomFile)(&name[0], directory.c_str(), RUN_DUMP | RUN_SCAN);
  alarm(0);
  FreePatternList();
  std::string out = testing::internal::GetCapturedStdout();
  return out + testing::internal::GetCapturedStderr();
}

TEST(SwapTest, ANameThatIsNoLongerAFileIsRefusedWithoutBlocking) {
  for (std::string swap : {"pipe", "device", "folder", "loop", "gone"}) {
    for (std::string name : {"x.a26", "x.zip", "x.jpg"}) {
      SCOPED_TRACE(name + " swapped for " + swap);
      TempDir dir;
      fs::path path = dir.path() / name;
      if (swap == "pipe") MakeFifo(path);
      if (swap == "device") fs::create_symlink("/dev/zero", path);
      if (swap == "folder") fs::create_directory(path);
      if (swap == "loop") fs::create_symlink(name, path);
      EXPECT_EQ(Identify(dir.path(), name),
                name == "x.zip" ? "Error in zipfile " + path.string() +
                                      "\nYour filesystem seems to be corrupt, please check it\n"
                                : "\nErr: Unable to open file " + path.string() + "\n");
    }
  }
}

TEST(SwapTest, AFileShorterThanItsSizeIsReportedAndNotChecksummed) {
  // Files of the kernel's that announce more bytes than a read gives.
  for (const char* shrunk : {"/sys/kernel/profiling", "/sys/kernel/mm/transparent_hugepage/enabled",
                             "/sys/devices/system/cpu/online", "/sys/power/state"}) {
    std::error_code missing;
    uintmax_t size = fs::file_size(shrunk, missing);
    std::ifstream in(shrunk, std::ios::binary);
    if (missing || !in || std::string(std::istreambuf_iterator<char>(in), {}).size() >= size) continue;
    TempDir dir;
    fs::create_symlink(shrunk, dir.path() / "x.a26");
    EXPECT_EQ(Identify(dir.path(), "x.a26"), "\nErr: Unable to read file " + (dir.path() / "x.a26").string() + "\n");
    return;
  }
  GTEST_SKIP() << "no file here reads shorter than its size";
}

}  // namespace
