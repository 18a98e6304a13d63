// Memory that outside input can claim: damaged archives never make the zip
// reader ask for more than the format lets their bytes claim, a catalog
// costs about what it holds, and a reader refused memory fails cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <fstream>

#include "core/catalog.h"
#include "core/file_load.h"
#include "core/memory_budget.h"
#include "core/patterns.h"
#include "core/run.h"
#include "romtool/dat_reader.h"
#include "romtool/tool.h"
#include "romtool/zip_reader.h"
#include "tests/support/support.h"

// Kept by the operator new of allocation_watch.cpp.
extern std::atomic<size_t> g_largest, g_live, g_peak, g_refuseFrom;

namespace {

// Deflate turns a byte into at most 1032, so a member of n bytes may truly
// need 1032 n; the rest covers the reader's and zlib's fixed buffers.
size_t Allowed(uintmax_t fileSize) { return 1032 * size_t(fileSize) + (128 << 10); }

TEST(ZipMemoryTest, EveryArchiveAsksForNoMoreThanItCouldHold) {
  int archives = 0;
  for (const auto& entry : fs::recursive_directory_iterator(FixturePath("zip"))) {
    if (entry.path().extension() != ".zip") continue;
    ++archives;
    for (size_t refuse : {size_t{0}, size_t{4096}}) {
      SCOPED_TRACE(entry.path().string() + (refuse ? " without memory" : ""));
      g_largest = 0;
      g_refuseFrom = refuse;
      testing::internal::CaptureStdout();
      std::string report;
      if (ZipArchive* archive = ZipOpen(OpenFileSource, entry.path().string(), &report)) {
        FileBuffer buffer;
        while (ZipEntry* member = ZipNextEntry(archive)) {
          int result = ZipReadEntry(archive, member, &buffer);
          EXPECT_TRUE(result <= 0 && result >= -4) << result;
          EXPECT_TRUE(result != 0 || buffer.capacity >= member->uncompressedSize);
        }
        ZipClose(archive);
      }
      testing::internal::GetCapturedStdout();
      g_refuseFrom = 0;
      EXPECT_LE(g_largest, Allowed(entry.file_size()));
    }
  }
  EXPECT_GT(archives, 50);
}

TEST(ZipMemoryTest, TheEndRecordIsFoundWithoutHoldingTheFile) {
  TempDir dir;
  fs::path path = dir.path() / "front.zip";
  WriteBytes(path, std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  fs::resize_file(path, 64 << 20);  // the rest reads as zeros
  g_largest = 0;
  std::string report;
  EXPECT_EQ(ZipOpen(OpenFileSource, path.string(), &report), nullptr);  // it lists no members
  EXPECT_LE(g_largest, size_t{256} << 10);
}

// Loads `text` as the catalog "set.dat" with requests from `refuse` bytes
// on refused; returns what the load said, and in `grown` the most memory
// the load held at once beyond the text itself.
std::string LoadDat(std::string text, size_t refuse, uint32_t* count, size_t* grown) {
  RunState run;
  run.systemName = "set";
  SourcePtr source = MemorySource(std::move(text));
  run.open = [&source](const std::string&, std::string*) { return std::move(source); };
  testing::internal::CaptureStdout();
  std::string said;
  size_t before = g_live;
  g_peak = before;
  g_refuseFrom = refuse;
  *count = LoadRomCatalog(run, &said);
  g_refuseFrom = 0;
  *grown = g_peak - before;
  testing::internal::GetCapturedStdout();
  CatalogRelease<RomEntry>();
  FreePatternList();
  return said;
}

TEST(CatalogMemoryTest, ACatalogCostsAFewTimesItsSizeAndNeverLoadsInPart) {
  std::string text = "*.*\n";
  for (uint32_t i = 0; i < 300000; ++i) text += Hex8(i * 2654435761u) + " n" + std::to_string(i % 100) + "\n";
  uint32_t count = 0;
  size_t grown = 0;
  EXPECT_EQ(LoadDat(text, 0, &count, &grown), "");
  EXPECT_EQ(count, 300000u);
  EXPECT_LE(grown, 4 * text.size() + (1 << 20));
  EXPECT_EQ(LoadDat(text, 4096, &count, &grown), "\nErr: Not enough memory for set.dat\n");
  EXPECT_EQ(count, 0u);
}

// Whether a thread that takes `bytes` of `budget` gets them, rather than
// waiting (for longer than a run of these tests ever would). A thread left
// waiting keeps the budget alive.
bool TakesWithoutWaiting(const std::shared_ptr<MemoryBudget>& budget, size_t bytes) {
  auto taken = std::make_shared<std::promise<void>>();
  std::future<void> done = taken->get_future();
  std::thread([budget, bytes, taken] {
    budget->Take(bytes);
    taken->set_value();
  }).detach();
  return done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
}

// What a buffer took it gives back, all of it, and a take that exactly
// fills the budget beside another's does not wait.
TEST(ThreadMemoryTest, ABufferGivesBackWhatItTook) {
  auto budget = std::make_shared<MemoryBudget>(10);
  FileBuffer buffer;
  buffer.budget = budget.get();
  ASSERT_TRUE(FileBufferReserve(&buffer, 4) && FileBufferReserve(&buffer, 8));
  FileBufferDone(&buffer);
  ASSERT_TRUE(TakesWithoutWaiting(budget, 10));
  budget->Give(10);
  budget->Take(4);
  EXPECT_TRUE(TakesWithoutWaiting(budget, 6));
}

// However many threads read, the files they hold at once stay within the
// budget, and a file larger than the rest of it still gets through.
TEST(ThreadMemoryTest, ThreadsHoldNoMoreThanTheBudgetAndOneFile) {
  TempDir dir;
  CurrentDirectory inside(dir.path());
  for (int i = 0; i < 16; ++i) {
    std::ofstream(dir.path() / ("f" + std::to_string(i) + ".a26")).close();
    fs::resize_file(dir.path() / ("f" + std::to_string(i) + ".a26"), (24 + i % 2) << 20);
  }
  RunSeams seams;
  seams.identifyThreads = 8;
  seams.memoryBudget = size_t{32} << 20;
  std::string args[] = {"Tessary", "-d", "*.a26"};
  char* argv[] = {&args[0][0], &args[1][0], &args[2][0]};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  size_t before = g_live;
  g_peak = before;
  RunTool(RomTool(), 3, argv, seams);
  std::string out = testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 17);
  EXPECT_LE(g_peak - before, (size_t{32} << 20) + (size_t{25} << 20) + (size_t{4} << 20));
}

}  // namespace
