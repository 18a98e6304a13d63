// What no scenario can make: two processes moving files onto the same free
// names at once (a move that replaced a file, or let both have a name,
// loses one), a name that stops being a regular file between the listing
// and the open, a reader of the output that leaves early, and a listing
// that fails. No file may be lost, replaced or read in part, no call may
// block, and no failure may pass in silence.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <malloc.h>
#include <pty.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "core/crc32.h"
#include "core/patterns.h"
#include "core/placement.h"
#include "core/platform.h"
#include "core/platform_posix.h"
#include "core/run.h"
#include "imagetool/identify.h"
#include "romtool/identify.h"
#include "romtool/tool.h"
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

// Both racers make the same new folder and want the same name in it: one
// gets it, the other a place in "dupes". So with each way of moving, also
// those that file systems without the system's own move lead to.
TEST_F(MoveRaceTest, NumberedRetriesIntoANewFolderPlaceEveryFile) {
  for (int method : {kMoveBest, kMoveByLink, kMoveOntoPlaceholder}) {
    SCOPED_TRACE(method);
    for (const auto& entry : fs::directory_iterator(dir_.path())) fs::remove_all(entry.path());
    SetUp();
    EXPECT_EQ(Race([this, method](int racer, int round) {
                Placement placement;
                placement.folder = "f" + std::to_string(round);
                placement.moveMethod = method;
                unsigned char taken = 0;
                std::string name = "g" + std::to_string(round);
                PlaceCatalogMatch(&placement, Source(racer, round), FileIdentity(), &taken, name);
                fs::path got = dir_.path() / placement.folder / (name + ".bin");
                return int(fs::exists(got) && ReadBytes(got) == Source(racer, round));
              }),
              std::vector<int>(kRounds, 1));
    ExpectNothingLost();
  }
}

// The contents of every file below `root` (links not followed), each once:
// FUSE may report as failed (EIO) a hard link it made, a name too many.
std::multiset<std::string> Contents(const fs::path& root) {
  std::multiset<std::string> contents;
  std::set<std::pair<dev_t, ino_t>> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    struct stat info;
    if (lstat(entry.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    if (files.insert({info.st_dev, info.st_ino}).second) contents.insert(ReadBytes(entry.path()));
  }
  return contents;
}

// Moves `x.bin` of `work` into `work/sys` while a neighbour keeps swapping
// its own file into that name through `swapIn` (the same folder, or the
// one a FUSE mount shows as `work`) with RENAME_EXCHANGE, which deletes
// nothing. Whatever the move did, both files are still there, whole.
// Counts in `*left` the moves that left the file under a name of their own.
void ExpectNoSwapLoses(const fs::path& work, const fs::path& swapIn, int method, bool link, int* left) {
  for (int round = 0; round < 150; ++round) {
    for (const auto& entry : fs::directory_iterator(swapIn)) fs::remove_all(entry.path());
    fs::create_directories(swapIn / "sys");
    WriteBytes(swapIn / "real.bin", "real");
    if (link) fs::create_symlink("real.bin", swapIn / "x.bin");
    else WriteBytes(swapIn / "x.bin", "identified");
    WriteBytes(swapIn / "n.bin", "neighbour");
    FileIdentity identity;
    ASSERT_EQ(PlatformIdentity((work / "x.bin").string(), &identity), 1);
    // The move starts once the neighbour is swapping.
    auto* swaps = static_cast<std::atomic<int>*>(
        mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    new (swaps) std::atomic<int>(0);
    pid_t neighbour = fork();
    if (neighbour == 0) {
      for (;;) {
        renameat2(AT_FDCWD, (swapIn / "n.bin").c_str(), AT_FDCWD, (swapIn / "x.bin").c_str(), RENAME_EXCHANGE);
        ++*swaps;
      }
    }
    while (*swaps < 2) sched_yield();
    std::string leftAs;
    PlatformMoveFile((work / "x.bin").string(), (work / "sys" / "Game.bin").string(), method, identity, &leftAs);
    *left += !leftAs.empty();
    kill(neighbour, SIGKILL);
    waitpid(neighbour, nullptr, 0);
    munmap(swaps, sizeof(std::atomic<int>));
    std::multiset<std::string> expected = {"neighbour", "real"};
    if (!link) expected.insert("identified");
    ASSERT_EQ(Contents(swapIn), expected) << "round " << round;
  }
}

TEST(SwapTest, ANeighbourSwappingFilesInLosesNone) {
  TempDir dir;
  int left = 0;  // a name taken back is always free again: none
  for (int method : {kMoveBest, kMoveByLink, kMoveOntoPlaceholder}) {
    for (bool link : {false, true}) {
      SCOPED_TRACE(std::to_string(method) + (link ? " link" : " file"));
      ExpectNoSwapLoses(dir.path(), dir.path(), method, link, &left);
    }
  }
  EXPECT_EQ(left, 0);
}

// Through a FUSE file system that refuses the no-replace rename (bindfs),
// as network and user-space file systems do: the real fallback.
TEST(SwapTest, ThroughAFileSystemWithoutTheNoReplaceMoveNoSwapLoses) {
  TempDir under, mounted;
  std::string mount = "bindfs --no-allow-other -o attr_timeout=0,entry_timeout=0 '" + under.path().string() +
                      "' '" + mounted.path().string() + "'";
  if (access("/dev/fuse", R_OK | W_OK) != 0 || std::system((mount + " 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "no FUSE here (bindfs and /dev/fuse): the fallback is proven by the forced methods only";
  }
  // A link made but reported as failed leaves a file under the move's own
  // name now and then; a fallback that gave up would after every swap.
  int left = 0;
  for (bool link : {false, true}) ExpectNoSwapLoses(mounted.path(), under.path(), kMoveBest, link, &left);
  EXPECT_LT(left, 15);
  std::system(("fusermount -u '" + mounted.path().string() + "'").c_str());
}

// What is free the platform counts as the kernel lists what is open, a
// run's handle on its folder replaces the last run's, a path that climbs
// out of the folder is never taken relative to it, and a failed read is
// not retried.
TEST(PlatformTest, DescriptorsPathsAndReads) {
  if (*SORTERS_LAUNCHER != '\0') GTEST_SKIP() << "an emulator needs descriptors of its own";
  struct rlimit was, few;
  getrlimit(RLIMIT_NOFILE, &was);
  setrlimit(RLIMIT_NOFILE, &(few = {64, was.rlim_max}));
  std::string folder;
  ASSERT_TRUE(PlatformCurrentDirectory(&folder));
  const int free = PlatformFreeDescriptors();
  ASSERT_TRUE(PlatformCurrentDirectory(&folder));
  EXPECT_EQ(PlatformFreeDescriptors(), free);
  int opened = -1;  // not the listing's own
  for (const auto& fd : fs::directory_iterator("/proc/self/fd")) opened += std::stoi(fd.path().filename()) < 64;
  EXPECT_EQ(free, 64 - opened);
  setrlimit(RLIMIT_NOFILE, &was);
  for (const char* inside : {"a./b", "x..", ".x/y"}) EXPECT_NE(Locate(folder + "/" + inside).folder, AT_FDCWD) << inside;
  for (const char* out : {"..", "../x", "a/../../x"}) EXPECT_EQ(Locate(folder + "/" + out).folder, AT_FDCWD) << out;
  int writeOnly = open("/dev/null", O_WRONLY);
  unsigned char byte;
  size_t got;
  alarm(10);
  EXPECT_EQ(PlatformReadAt(writeOnly, 0, &byte, 1, &got), 0);
  alarm(0);
  close(writeOnly);
}

// Calls the dump's per-file function on `name` in `folder`, with a
// watchdog that ends the test process should the call block.
std::string Identify(const fs::path& folder, std::string name) {
  bool picture = name.back() == 'g';
  std::string patterns = picture ? "*.jpg" : "*.a26";
  RunState run;
  run.flags = RUN_DUMP | RUN_SCAN;
  run.directory = folder.string() + "/";
  Crc32InitTable();
  BuildPatternList(&patterns[0], false);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  alarm(10);
  FileResult result;
  (picture ? IdentifyImageFile : IdentifyRomFile)(run, name, &result);
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

// What an archive's reader took (its buffers, its decoder's state and
// dictionary) is given back: reading one again holds no more memory.
TEST(RunTest, ArchivesReadAgainHoldNoMoreMemory) {
  TempDir dir;
  fs::copy_file(SORTERS_FIXTURES_DIR "/archives/plain-header.7z", dir.path() / "a.7z");
  auto held = [] { return mallinfo2().hblkhd + mallinfo2().uordblks; };
  size_t before = (Identify(dir.path(), "a.7z"), held());
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Identify(dir.path(), "a.7z"), "");
  EXPECT_LT(held(), before + (1 << 18));  // one reader left behind is 120 KiB
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

// Runs Tessary with `args` in `folder`, its standard output and error on
// the descriptors `out` and `err` and no other one open; with `files`, it
// may hold no more than that many open at once; with `noThreads`, every
// thread's stack is larger than the memory it may map, so that no thread
// can start. Returns its exit status.
int RunTessary(const fs::path& folder, const char* args, int out, int err, rlim_t files = 0,
               bool noThreads = false) {
  pid_t child = fork();
  if (child == 0) {
    signal(SIGPIPE, SIG_DFL);
    dup2(out, 1);
    dup2(err, 2);
    for (int fd = 3; fd < 1024; ++fd) close(fd);
    rlimit limit = {files, files};
    // A leak check at the end needs descriptors of its own.
    if (files != 0) setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    rlimit stack = {rlim_t{4000} << 20, rlim_t{4000} << 20}, mapped = {rlim_t{3000} << 20, rlim_t{3000} << 20};
    if (noThreads && (setrlimit(RLIMIT_STACK, &stack) != 0 || setrlimit(RLIMIT_AS, &mapped) != 0)) _exit(126);
    if (chdir(folder.c_str()) == 0 && (files == 0 || setrlimit(RLIMIT_NOFILE, &limit) == 0)) {
      execl("/bin/sh", "sh", "-c", (std::string("exec " SORTERS_LAUNCHER " ") + TESSARY_PATH + " " + args).c_str(),
            nullptr);
    }
    _exit(127);
  }
  int status = -1;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(RunTest, AReaderThatLeavesEarlyEndsNoMove) {
  TempDir dir;
  // Enough reports on standard output to fill its buffer before the move.
  for (int i = 0; i < 60; ++i) WriteBytes(dir.path() / ("a" + std::to_string(i) + ".zip"), "x");
  WriteBytes(dir.path() / "z.bin", "abc");
  WriteBytes(dir.path() / "sys.dat", "*.*\n352441c2 Game\n");
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]);  // nobody will ever read
  EXPECT_EQ(RunTessary(dir.path(), "sys", ends[1], ends[1]), 0);
  close(ends[1]);
  EXPECT_EQ(ReadBytes(dir.path() / "sys" / "Game.bin"), "abc");
}

// What Tessary writes, both streams in one, run as RunTessary runs it; its
// exit status must be 0.
std::string TessarySays(const fs::path& folder, const char* args, rlim_t files = 0, bool noThreads = false) {
  TempDir capture;
  FILE* out = std::fopen((capture.path() / "out").c_str(), "w+");
  EXPECT_EQ(RunTessary(folder, args, fileno(out), fileno(out), files, noThreads), 0);
  std::fclose(out);
  return ReadBytes(capture.path() / "out");
}

// Every archive is closed before the next is opened: a run never runs out
// of descriptors, however many archives a folder holds.
TEST(RunTest, MoreArchivesThanDescriptorsAreAllRead) {
  if (*SORTERS_LAUNCHER != '\0') GTEST_SKIP() << "an emulator needs descriptors of its own";
  TempDir dir;
  for (int i = 0; i < 40; ++i) {
    fs::copy_file(FixturePath("zip/a26-for-rename.zip"), dir.path() / ("a" + std::to_string(i) + ".zip"));
  }
  std::string said = TessarySays(dir.path(), "-d '*.a26'", 16);
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 44) << said;  // banner, mode, 41 lines
  EXPECT_EQ(said.find("Err"), std::string::npos) << said;
}

TEST(RunTest, AnOutputThatCannotTakeTheCatalogFailsTheRun) {
  TempDir dir, capture;
  WriteBytes(dir.path() / "a.a26", "abc");
  FILE* err = std::fopen((capture.path() / "err").c_str(), "w+");
  int full = open("/dev/full", O_WRONLY);
  if (full < 0) GTEST_SKIP() << "no /dev/full here";
  EXPECT_EQ(RunTessary(dir.path(), "-d '*.a26'", full, fileno(err)), 1);
  close(full);
  std::fclose(err);
  EXPECT_EQ(ReadBytes(capture.path() / "err"),
            "Tessary v1.0 (Release)\nDump mode\n\nErr: Unable to write the output: No space left on device\n");
}

// A thread that cannot start changes nothing: the run does the work with
// the threads it has, or alone.
TEST(RunTest, ThreadsThatCannotStartChangeNothing) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer needs more memory than the limit leaves";
#endif
  if (*SORTERS_LAUNCHER != '\0') GTEST_SKIP() << "an emulator needs more memory than the limit leaves";
  TempDir dir;
  for (int i = 0; i < 40; ++i) WriteBytes(dir.path() / ("g" + std::to_string(i) + ".a26"), std::to_string(i));
  std::string said = TessarySays(dir.path(), "-d '*.a26'");
  EXPECT_EQ(TessarySays(dir.path(), "-d '*.a26'", 0, true), said);
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 44) << said;
}

// Few descriptors: the threads never fail a file that one thread reads,
// and a catalog that cannot be opened says why.
TEST(RunTest, FewDescriptorsFailNoFile) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a sanitizer needs descriptors of its own to check memory";
#endif
  if (*SORTERS_LAUNCHER != '\0') GTEST_SKIP() << "an emulator needs descriptors of its own";
  TempDir dir;
  for (int i = 0; i < 300; ++i) WriteBytes(dir.path() / ("g" + std::to_string(i) + ".a26"), std::to_string(i));
  WriteBytes(dir.path() / "sys.dat", "*.a26\n");
  // The standard three and the folder's handle take four descriptors.
  EXPECT_EQ(TessarySays(dir.path(), "-d '*.a26'", 5), TessarySays(dir.path(), "-d '*.a26'"));
  EXPECT_EQ(TessarySays(dir.path(), "sys", 4),
            "Tessary v1.0 (Release)\n\nErr: Unable to open sys.dat: Too many open files\nError getting data.\n");
}

// A neighbour that keeps swapping the names of files while a sort runs
// makes no file land under another's catalog name, and loses none.
TEST(RunTest, NamesSwappedDuringASortPutNoFileUnderAnotherName) {
  TempDir dir;
  const int kFiles = 2000;
  std::string catalog = "*.bin\n";
  for (int i = 0; i < kFiles; ++i) {
    WriteBytes(dir.path() / ("f" + std::to_string(i) + ".bin"), "content " + std::to_string(i));
    catalog += Hex8(ReferenceCrc("content " + std::to_string(i))) + " F" + std::to_string(i) + "\n";
  }
  WriteBytes(dir.path() / "sys.dat", catalog);
  std::multiset<std::string> before = Contents(dir.path());
  pid_t neighbour = fork();
  if (neighbour == 0) {
    // Swaps two names through a third; never removes a file.
    auto name = [&](const std::string& n) { return (dir.path() / n).string(); };
    for (unsigned n = 0;; ++n) {
      std::string a = name("f" + std::to_string(n % kFiles) + ".bin"), b = name("f" + std::to_string(n * 7 % kFiles) + ".bin");
      std::rename(a.c_str(), name("swap").c_str());
      std::rename(b.c_str(), a.c_str());
      std::rename(name("swap").c_str(), b.c_str());
    }
  }
  int null = open("/dev/null", O_WRONLY);
  EXPECT_EQ(RunTessary(dir.path(), "sys", null, null), 0);
  kill(neighbour, SIGKILL);
  waitpid(neighbour, nullptr, 0);
  close(null);
  EXPECT_EQ(Contents(dir.path()), before);
  for (const auto& entry : fs::directory_iterator(dir.path() / "sys")) {
    std::string stem = entry.path().stem().string();
    EXPECT_EQ(ReadBytes(entry.path()), "content " + stem.substr(1)) << stem;
  }
}

// A system folder that is a link to another file system takes no rename:
// the preview plans the move to dupes that the real run then makes.
TEST(RunTest, APreviewPlansWhatARealRunDoesIntoAnotherFileSystem) {
  TempDir dir;
  std::string other = "/dev/shm/sorters-other-XXXXXX";
  struct stat here, there;
  if (mkdtemp(&other[0]) == nullptr) GTEST_SKIP() << "no /dev/shm here";
  std::shared_ptr<void> removal(nullptr, [&other](void*) { fs::remove_all(other); });
  if (stat(other.c_str(), &there) != 0 || stat(dir.path().c_str(), &here) != 0 || here.st_dev == there.st_dev) {
    GTEST_SKIP() << "/dev/shm is on the same file system";
  }
  fs::create_symlink(other, dir.path() / "sys");
  WriteBytes(dir.path() / "a.bin", "abc");
  WriteBytes(dir.path() / "sys.dat", "*.bin\n352441c2 Game\n");
  EXPECT_NE(TessarySays(dir.path(), "sys -n").find("a.bin -> dupes/Game.bin\n"), std::string::npos);
  TessarySays(dir.path(), "sys");
  EXPECT_EQ(ReadBytes(dir.path() / "dupes" / "Game.bin"), "abc");
}

// On a terminal: the progress line, taken off before every message and at
// the end, never on standard output, and a summary of what became of the
// files. The run starts in a child whose standard error is a terminal.
TEST(TerminalTest, TheProgressLineLeavesBeforeEveryMessageAndASummaryEnds) {
  TempDir dir, capture;
  for (const char* name : {"a.a26", "b.a26", "c.a26"}) WriteBytes(dir.path() / name, name);
  WriteBytes(dir.path() / "sys.dat", "*.a26\n" + Hex8(ReferenceCrc("a.a26")) + " Game\n" +
                                          Hex8(ReferenceCrc("b.a26")) + " ../out\n");
  int terminal = -1;
  struct winsize size = {30, 30, 0, 0};
  pid_t child = forkpty(&terminal, nullptr, nullptr, &size);
  if (child == 0) {
    int out = open((capture.path() / "out").c_str(), O_WRONLY | O_CREAT, 0600);
    dup2(out, 1);
    fs::current_path(dir.path());
    RunSeams seams;
    seams.progressDelay = std::chrono::milliseconds(0);
    std::string args[] = {"Tessary", "sys"};
    char* argv[] = {&args[0][0], &args[1][0]};
    _exit(RunTool(RomTool(), 2, argv, seams));
  }
  std::string said;
  char piece[4096];
  for (ssize_t got; (got = read(terminal, piece, sizeof piece)) > 0;) said.append(piece, size_t(got));
  waitpid(child, nullptr, 0);
  close(terminal);
  // An emulator's terminal may not tell its width right.
  if (*SORTERS_LAUNCHER == '\0') {
    EXPECT_NE(said.find("\rTessary: 1 of 3 files, 5.0 of\r"), std::string::npos) << said;  // cut to 29
  }
  // Whatever line a message or the summary stands on, carriage returns
  // and spaces have taken the progress line off it first.
  std::stringstream lines(said);
  for (std::string line; std::getline(lines, line);) {
    while (!line.empty() && line.back() == '\r') line.pop_back();
    std::string shown = line.substr(line.rfind('\r') == std::string::npos ? 0 : line.rfind('\r') + 1);
    if (line.find("Err:") != std::string::npos) {
      EXPECT_EQ(shown.rfind("Err:", 0), 0u) << line;
    }
    if (line.find(" moved into ") != std::string::npos) {
      EXPECT_EQ(shown.rfind("Tessary: 1 moved", 0), 0u) << line;
    }
  }
  EXPECT_NE(said.find("Tessary: 1 moved into sys, 0 moved into dupes, 1 left in place, 1 refused"), std::string::npos)
      << said;
  EXPECT_EQ(ReadBytes(capture.path() / "out"), "*.a26 \n");
  EXPECT_EQ(ReadBytes(dir.path() / "sys" / "Game.a26"), "a.a26");
}

TEST(RunTest, AListingThatFailsIsReported) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a sanitizer needs descriptors of its own to check memory";
#endif
  if (*SORTERS_LAUNCHER != '\0') GTEST_SKIP() << "an emulator needs descriptors of its own";
  TempDir dir, capture;
  WriteBytes(dir.path() / "a.a26", "abc");
  FILE* out = std::fopen((capture.path() / "out").c_str(), "w+");
  FILE* err = std::fopen((capture.path() / "err").c_str(), "w+");
  // The standard three and the handle on the folder leave none to list it.
  EXPECT_EQ(RunTessary(dir.path(), "-d '*.a26'", fileno(out), fileno(err), 4), 0);
  std::fclose(out);
  std::fclose(err);
  EXPECT_EQ(ReadBytes(capture.path() / "out"), "*.a26  \n");
  EXPECT_EQ(ReadBytes(capture.path() / "err"), "Tessary v1.0 (Release)\nDump mode\n\n\nErr: Unable to list " +
                                                    ProgramView(dir.path()) + ": Too many open files\n");
}

}  // namespace
