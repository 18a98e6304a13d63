// The identifying threads change nothing a user sees: a large mixed folder
// (plain and headered images, archives sound and damaged, duplicates,
// refused names, a file too large) gives the same bytes on both streams
// and the same tree with one thread as with eight, in a dump and a rename.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include <chrono>
#include <thread>

#include "core/pipeline.h"
#include "imagetool/tool.h"
#include "romtool/tool.h"
#include "tests/support/support.h"

namespace {

void MakeMixedFolder(const fs::path& root) {
  std::vector<fs::path> fixtures;
  for (const auto& entry : fs::recursive_directory_iterator(FixturePath(""))) {
    if (entry.is_regular_file()) fixtures.push_back(entry.path());
  }
  std::sort(fixtures.begin(), fixtures.end());
  for (size_t i = 0; i < fixtures.size(); ++i) {
    fs::copy_file(fixtures[i], root / (std::to_string(i) + "-" + fixtures[i].filename().string()));
  }
  for (uint32_t i = 0; i < 200; ++i) {
    std::string bytes = RandomBytes(1 + (i * 7919) % 300000, i % 150);  // some twice
    WriteBytes(root / ("r" + std::to_string(i) + (i % 3 ? ".a26" : ".nes")), bytes);
  }
  std::ofstream(root / "huge.bin").close();
  std::error_code refused;
  fs::resize_file(root / "huge.bin", uintmax_t{1} << 32, refused);
}

// Runs `tool` in `folder` with `threads` identifying threads; returns both
// streams, the folder's own path written as "<dir>".
std::string RunIn(const ToolConfig& tool, const fs::path& folder, int threads,
                std::vector<std::string> args) {
  CurrentDirectory inside(folder);
  RunSeams seams;
  seams.identifyThreads = threads;
  args.insert(args.begin(), "tool");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  RunTool(tool, int(argv.size()), argv.data(), seams);
  std::string both = testing::internal::GetCapturedStdout() + "\n--\n" + testing::internal::GetCapturedStderr();
  const std::string view = ProgramView(folder);
  for (size_t at; (at = both.find(view)) != std::string::npos;) both.replace(at, view.size(), "<dir>");
  return both;
}

std::map<std::string, uint32_t> Tree(const fs::path& root) {
  std::map<std::string, uint32_t> tree;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file() && entry.file_size() < (1u << 30)) {
      tree[entry.path().lexically_relative(root).generic_string()] = ReferenceCrc(ReadBytes(entry.path()));
    }
  }
  return tree;
}

TEST(PipelineTest, EightThreadsWriteAndMoveExactlyWhatOneDoes) {
  TempDir one, eight;
  MakeMixedFolder(one.path());
  MakeMixedFolder(eight.path());
  std::string dump = RunIn(RomTool(), one.path(), 1, {"-d", "*.*"});
  EXPECT_EQ(RunIn(RomTool(), eight.path(), 8, {"-d", "*.*"}), dump);
  EXPECT_EQ(RunIn(ImageTool(), one.path(), 1, {"-d", "*.*"}),
            RunIn(ImageTool(), eight.path(), 8, {"-d", "*.*"}));
  // The dump as a catalog, every fifth name one that is refused.
  std::string catalog = dump.substr(0, dump.find("\n--\n"));
  for (size_t line = 0, n = 0; (line = catalog.find("\n", line + 1)) != std::string::npos; ++n) {
    if (n % 5 == 4 && catalog.compare(line + 1, 5, "Error") != 0) catalog.insert(catalog.find(' ', line) + 1, "../");
  }
  WriteBytes(one.path() / "sys.dat", catalog);
  WriteBytes(eight.path() / "sys.dat", catalog);
  std::string renamed = RunIn(RomTool(), one.path(), 1, {"sys", "-m"});
  EXPECT_EQ(RunIn(RomTool(), eight.path(), 8, {"sys", "-m"}), renamed);
  for (const char* said : {"Error in zipfile", "File too large", "Refused unsafe"}) {
    EXPECT_NE((dump + renamed).find(said), std::string::npos) << said;
  }
  EXPECT_EQ(Tree(eight.path()), Tree(one.path()));
  EXPECT_GT(Tree(one.path()).size(), 200u);
}

// A run leaves nothing behind for the next in the same process: a second
// preview plans again, and a second catalog is the only one looked at.
TEST(PipelineTest, TwoRunsInOneProcessAreIndependent) {
  TempDir dir;
  WriteBytes(dir.path() / "a.a26", "abc");
  WriteBytes(dir.path() / "sys.dat", "*.a26\n352441c2 Game\n");
  const std::pair<std::vector<std::string>, std::string> runs[] = {
      {{"-d", "*.a26"}, "352441c2 a.a26\n"}, {{"sys", "-n"}, "a.a26 -> sys/Game.a26\n"}};
  for (const auto& run : runs) {
    std::string first = RunIn(RomTool(), dir.path(), 1, run.first);
    EXPECT_EQ(RunIn(RomTool(), dir.path(), 1, run.first), first);
    EXPECT_NE(first.find(run.second), std::string::npos) << first;
  }
  RunIn(RomTool(), dir.path(), 1, {"sys"});
  WriteBytes(dir.path() / "a.a26", "abc");
  WriteBytes(dir.path() / "sys.dat", "*.a26\n352441c2 Other\n");
  RunIn(RomTool(), dir.path(), 1, {"sys"});
  EXPECT_EQ(ReadBytes(dir.path() / "sys" / "Game.a26"), "abc");
  EXPECT_EQ(ReadBytes(dir.path() / "sys" / "Other.a26"), "abc");
}

TEST(PipelineTest, ResultsComeInOrderWhileTheWindowFillsAndEmpties) {
  std::vector<std::string> names(20000);
  for (size_t i = 0; i < names.size(); ++i) names[i] = std::to_string(i);
  for (int threads : {2, 3, 8}) {
    uint32_t next = 0;
    RunPipeline(
        names, threads,
        [](const std::string& name, FileResult* result) { result->crc = uint32_t(std::stoul(name)); },
        [&next](FileResult* result) {
          // A slow finish now and then lets the threads run the window full.
          if (next % 5000 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
          EXPECT_EQ(result->crc, next++);
        });
    EXPECT_EQ(next, names.size());
  }
}

}  // namespace
