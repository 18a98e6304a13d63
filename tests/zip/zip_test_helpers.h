// Helpers shared by the zip reader's tests.
#ifndef TESTS_ZIP_ZIP_TEST_HELPERS_H_
#define TESTS_ZIP_ZIP_TEST_HELPERS_H_

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "romtool/zip_reader.h"

namespace ziptest {

// The three reasons, spelled out here rather than taken from the reader.
inline const char kFilesystemText[] =
    "Your filesystem seems to be corrupt, please check it";
inline const char kCorruptText[] =
    "The zipfile seems to be corrupt, please check it";
inline const char kUnsupportedText[] =
    "The format of this zipfile is not supported, please recompress it";

// The exact lines of one report.
inline std::string Report(const std::string& path, const char* reason) {
  return "Error in zipfile " + path + "\n" + reason + "\n";
}

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
