// Running the built Tessary in a fresh folder, for the process-level tests.
#ifndef TESTS_ROMTOOL_TESSARY_FIXTURE_H_
#define TESTS_ROMTOOL_TESSARY_FIXTURE_H_

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

class TessaryTest : public testing::Test {
 protected:
  static constexpr const char* kBanner = "Tessary v1.0 (Release)\n";

  TessaryTest() : folder_(testsupport::WorkingDirectoryView(dir_.path())) {}

  testsupport::ProgramResult Run(const std::vector<std::string>& args) {
    return testsupport::RunProgram(TESSARY_PATH, args, dir_.path());
  }

  // A rename run, which must keep every file's contents: nothing lost,
  // nothing overwritten, nothing duplicated.
  testsupport::ProgramResult RunRename(const std::vector<std::string>& args) {
    std::multiset<std::string> before = testsupport::SnapshotContents(dir_.path());
    testsupport::ProgramResult result = Run(args);
    EXPECT_EQ(testsupport::SnapshotContents(dir_.path()), before)
        << "file contents changed by the run";
    EXPECT_EQ(result.status, 0);
    return result;
  }

  void Write(const std::string& name, const std::string& bytes) {
    testsupport::WriteFile(dir_.Join(name), bytes);
  }
  std::string Read(const std::string& name) {
    return testsupport::ReadFile(dir_.Join(name));
  }
  std::vector<std::string> Files() { return testsupport::ListFiles(dir_.path()); }

  // What the tool's text-mode output holds for `text`.
  static std::string Text(const std::string& text) {
    return testsupport::TextOutput(text);
  }

  // The working directory as the tool prints it, with its separator.
  const std::string& Folder() const { return folder_; }

  testsupport::ScopedTempDir dir_;
  std::string folder_;
};

#endif  // TESTS_ROMTOOL_TESSARY_FIXTURE_H_
