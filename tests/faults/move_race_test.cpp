// Two processes moving different files onto the same free names at the
// same moment, round after round. A move that never replaces must let
// exactly one of them have each name, and the other's file must stay where
// it was: whatever the interleaving, no file is lost or overwritten.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "core/placement.h"
#include "core/platform.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::ReadFile;
using testsupport::ScopedTempDir;
using testsupport::SnapshotContents;
using testsupport::WriteFile;

const int kRounds = 5000;
const int kRacers = 2;

// Memory shared by the racers: a start line per round, so that both move
// at the same moment, and what each move returned.
struct RaceBoard {
  std::atomic<int> arrived[kRounds];
  std::atomic<int> moved[kRacers][kRounds];
};

RaceBoard* NewBoard() {
  void* memory = mmap(nullptr, sizeof(RaceBoard), PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return nullptr;
  return new (memory) RaceBoard();  // zero-initialised atomics
}

void WaitForTheOther(std::atomic<int>* arrived) {
  arrived->fetch_add(1);
  while (arrived->load() < kRacers) sched_yield();
}

std::string Source(const std::string& folder, int racer, int round) {
  return folder + "/" + static_cast<char>('a' + racer) +
         std::to_string(round) + ".bin";
}

std::string Content(int racer, int round) {
  return "racer " + std::to_string(racer) + " round " + std::to_string(round);
}

void WriteSources(const std::string& folder) {
  for (int round = 0; round < kRounds; ++round) {
    for (int racer = 0; racer < kRacers; ++racer) {
      WriteFile(Source(folder, racer, round), Content(racer, round));
    }
  }
}

// Runs `move(racer, round)` for every round in one child process per
// racer, each round started by both together; returns false when a child
// did not finish cleanly.
template <class Move>
bool Race(RaceBoard* board, Move move) {
  std::vector<pid_t> children;
  std::fflush(nullptr);
  for (int racer = 0; racer < kRacers; ++racer) {
    pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
      for (int round = 0; round < kRounds; ++round) {
        WaitForTheOther(&board->arrived[round]);
        board->moved[racer][round] = move(racer, round);
      }
      _exit(0);
    }
    children.push_back(child);
  }
  bool clean = true;
  for (pid_t child : children) {
    int status = 0;
    clean = waitpid(child, &status, 0) == child && WIFEXITED(status) &&
            WEXITSTATUS(status) == 0 && clean;
  }
  return clean;
}

class MoveRaceTest : public testing::Test {
 protected:
  void SetUp() override {
    board_ = NewBoard();
    ASSERT_NE(board_, nullptr);
    sources_ = dir_.Join("sources");
    targets_ = dir_.Join("targets");
    testsupport::MakeFolder(sources_);
    testsupport::MakeFolder(targets_);
    WriteSources(sources_);
    before_ = SnapshotContents(dir_.path());
  }
  void TearDown() override {
    if (board_ != nullptr) munmap(board_, sizeof(RaceBoard));
  }

  ScopedTempDir dir_;
  RaceBoard* board_ = nullptr;
  std::string sources_;
  std::string targets_;
  std::multiset<std::string> before_;
};

TEST_F(MoveRaceTest, ExactlyOneMoveTakesEachFreeName) {
  ASSERT_TRUE(Race(board_, [this](int racer, int round) {
    return PlatformMoveFile(Source(sources_, racer, round),
                            targets_ + "/t" + std::to_string(round) + ".bin");
  }));
  int lost = 0;
  for (int round = 0; round < kRounds; ++round) {
    int winner = board_->moved[0][round] ? 0 : 1;
    ASSERT_EQ(board_->moved[0][round] + board_->moved[1][round], 1)
        << "round " << round;
    std::string target = targets_ + "/t" + std::to_string(round) + ".bin";
    if (ReadFile(target) != Content(winner, round)) ++lost;
    if (!testsupport::PathExists(Source(sources_, 1 - winner, round))) ++lost;
  }
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(SnapshotContents(dir_.path()), before_);
  EXPECT_EQ(testsupport::ListFiles(dir_.path()).size(), 2u * kRounds);
}

TEST_F(MoveRaceTest, NumberedRetriesIntoANewFolderPlaceEveryFile) {
  // Each round both racers create the same new folder and want the same
  // name in it; the numbered retry gives the second its own name.
  ASSERT_TRUE(Race(board_, [this](int racer, int round) {
    std::string folder = "f" + std::to_string(round);
    std::string name = "g" + std::to_string(round);
    return PlaceFile(Source(sources_, racer, round), folder.c_str(),
                     name.c_str(), true) == 0 ? 1 : 0;
  }));
  int leftBehind = 0;
  for (int round = 0; round < kRounds; ++round) {
    EXPECT_EQ(board_->moved[0][round] + board_->moved[1][round], 1)
        << "round " << round;
    for (int racer = 0; racer < kRacers; ++racer) {
      if (testsupport::PathExists(Source(sources_, racer, round))) {
        ++leftBehind;
      }
    }
  }
  // Every file reached the new folder, and none was lost on the way.
  EXPECT_EQ(leftBehind, 0);
  EXPECT_EQ(SnapshotContents(dir_.path()), before_);
}

}  // namespace
