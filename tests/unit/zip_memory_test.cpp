// Damaged archives never make the zip reader ask for more memory than the
// format lets their bytes claim, and a reader refused memory fails cleanly.
#include <gtest/gtest.h>

#include <atomic>

#include "romtool/zip_reader.h"
#include "tests/support/support.h"

// Kept by the operator new of allocation_watch.cpp.
extern std::atomic<size_t> g_largest;
extern std::atomic<size_t> g_refuseFrom;  // 0: refuse nothing

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
      if (ZipArchive* archive = ZipOpen(entry.path().string().c_str())) {
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

}  // namespace
