// Helpers shared by the zip reader's tests.
#ifndef TESTS_ZIP_ZIP_TEST_HELPERS_H_
#define TESTS_ZIP_ZIP_TEST_HELPERS_H_

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "romtool/zip_reader.h"

namespace ziptest {

// Runs `action` and returns what it printed to standard output.
template <typename Action>
std::string CaptureOutput(Action action) {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  action();
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

struct ArchiveCloser {
  void operator()(ZipArchive* archive) const { ZipClose(archive); }
};
using OpenArchive = std::unique_ptr<ZipArchive, ArchiveCloser>;

// Opens `path`, keeping what the open printed in `output`.
inline OpenArchive OpenCapturing(const std::string& path,
                                 std::string* output) {
  ZipArchive* archive = nullptr;
  *output = CaptureOutput([&] { archive = ZipOpen(path.c_str()); });
  return OpenArchive(archive);
}

}  // namespace ziptest

#endif  // TESTS_ZIP_ZIP_TEST_HELPERS_H_
