// Running a built tool in a fresh folder, as a user runs it: the base of
// the process-level tests of both tools.
#ifndef TESTS_SUPPORT_PROGRAM_TEST_H_
#define TESTS_SUPPORT_PROGRAM_TEST_H_

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

class ProgramTest : public testing::Test {
 protected:
  explicit ProgramTest(const char* program)
      : program_(program),
        folder_(testsupport::WorkingDirectoryView(dir_.path())) {}

  // Runs the program in the test's folder, or in `subfolder` of it; every
  // run must end with exit status 0.
  testsupport::ProgramResult Run(const std::vector<std::string>& args,
                                 const std::string& subfolder = "") {
    testsupport::ProgramResult result = testsupport::RunProgram(
        program_, args, subfolder.empty() ? dir_.path() : dir_.Join(subfolder));
    EXPECT_EQ(result.status, 0);
    return result;
  }

  // A rename run, which must keep the contents of every file in the test's
  // folder: nothing lost, nothing overwritten, nothing duplicated.
  testsupport::ProgramResult RunRename(const std::vector<std::string>& args,
                                       const std::string& subfolder = "") {
    std::multiset<std::string> before =
        testsupport::SnapshotContents(dir_.path());
    testsupport::ProgramResult result = Run(args, subfolder);
    EXPECT_EQ(testsupport::SnapshotContents(dir_.path()), before)
        << "file contents changed by the run";
    return result;
  }

  void Write(const std::string& name, const std::string& bytes) {
    testsupport::WriteFile(dir_.Join(name), bytes);
  }
  std::string Read(const std::string& name) {
    return testsupport::ReadFile(dir_.Join(name));
  }
  std::vector<std::string> Files() {
    return testsupport::ListFiles(dir_.path());
  }

  // What the tool's text-mode output holds for `text`.
  static std::string Text(const std::string& text) {
    return testsupport::TextOutput(text);
  }

  // The test's folder as the tool prints it, with its separator.
  const std::string& Folder() const { return folder_; }

  testsupport::ScopedTempDir dir_;
  std::string program_;
  std::string folder_;
};

#endif  // TESTS_SUPPORT_PROGRAM_TEST_H_
