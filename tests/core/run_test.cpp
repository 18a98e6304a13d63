#include "core/run.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/patterns.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::ScopedTempDir;
using testsupport::WriteFile;

std::vector<std::string> g_seen;       // names handed to the per-file call
std::vector<int> g_seenFlags;
uint32_t g_catalogCount = 0;           // what the fake loader returns
int g_clears = 0;

int RecordFile(char* foundName, const char* directory, int flags) {
  g_seen.push_back(std::string(directory) + "|" + foundName);
  g_seenFlags.push_back(flags);
  return 1;
}

uint32_t FakeLoad(const char* systemName) {
  KeepSystemName(systemName);
  if (!PatternListExists()) {
    char patterns[] = "*.a26 ";
    BuildPatternList(patterns, false);
  }
  return g_catalogCount;
}

void FakeClear() { ++g_clears; }

ToolConfig FakeTool(bool zipPass) {
  return ToolConfig{"Banner\n", "line2\n\n", "\nline5\n", "line6\n", "dat",
                    FakeLoad,   FakeClear,  RecordFile,  false,     zipPass};
}

const char kUsage[] =
    "---------------------------------------------\n"
    "line2\n\n"
    "Options : uses [system].dat to rename\n"
    "          -d   Dump CRC info (make a dat)\n"
    "\nline5\n"
    "line6\n";

int Parse(std::vector<std::string> args, std::string* systemName,
          std::string* err) {
  args.insert(args.begin(), "tool");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  testing::internal::CaptureStderr();
  int flags = ParseCommandLine(FakeTool(false), static_cast<int>(argv.size()),
                               argv.data(), systemName);
  *err = testing::internal::GetCapturedStderr();
  FreePatternList();
  return flags;
}

struct FlagsCase {
  std::vector<std::string> args;
  int flags;
  const char* systemName;
};

TEST(ParseCommandLineTest, GivesTheFlagsOfEachCommandLine) {
  const FlagsCase cases[] = {
      {{"2600"}, 0xE, "2600"},
      {{"-d", "*.a26"}, 0x5, ""},
      {{"-D", "*.a26", "*.bin"}, 0x5, ""},
      {{"2600", "-d", "*.a26"}, 0xD, "2600"},
      {{"2600", "7800"}, 0xE, "7800"},        // a later name replaces
      {{"-d", "*.a26", "2600"}, 0x5, ""},     // after -d all are patterns
      {{}, 0, ""},
      {{"-x", "2600"}, 0, ""},  // the walk stops at -x
      {{"2600", "-d"}, 0, nullptr},
      {{"2600", "-d", ""}, 0, nullptr},
      {{"-"}, 0, ""},
      {{std::string(256, 'n')}, 0, ""},       // system name over 255
      {{std::string(255, 'n')}, 0xE, nullptr},
      {{"-d", std::string(255, 'p')}, 0, ""},  // joined text over 255
      {{"-d", std::string(254, 'p')}, 0x5, ""},
  };
  for (const FlagsCase& c : cases) {
    std::string systemName, err;
    int flags = Parse(c.args, &systemName, &err);
    EXPECT_EQ(flags, c.flags) << testing::PrintToString(c.args);
    EXPECT_EQ(err, flags == 0 ? kUsage : "");
    if (c.systemName != nullptr) {
      EXPECT_EQ(systemName, c.systemName);
    }
  }
}

class RunToolTest : public testing::Test {
 protected:
  void SetUp() override {
    g_seen.clear();
    g_seenFlags.clear();
    g_catalogCount = 0;
    g_clears = 0;
    inside_ = std::make_unique<testsupport::ScopedCurrentDirectory>(dir_.path());
    prefix_ = testsupport::WorkingDirectoryView(dir_.path()) + "|";
  }
  void TearDown() override { inside_.reset(); }

  std::string Run(bool zipPass, std::vector<std::string> args) {
    args.insert(args.begin(), "tool");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunTool(FakeTool(zipPass), static_cast<int>(argv.size()),
                      argv.data()),
              0);
    EXPECT_FALSE(PatternListExists());
    EXPECT_EQ(KeptSystemName(), nullptr);
    return testing::internal::GetCapturedStderr();
  }

  ScopedTempDir dir_;
  std::unique_ptr<testsupport::ScopedCurrentDirectory> inside_;
  std::string prefix_;
};

TEST_F(RunToolTest, DumpWalksEachPatternInOrderThenArchives) {
  for (const char* name : {"b.a26", "a.bin", "A.a26", "x.zip", "y.txt"}) {
    WriteFile(dir_.Join(name), "x");
  }
  EXPECT_EQ(Run(true, {"-d", "*.bin", "*.a26"}), "Banner\nDump mode\n\n");
  std::vector<std::string> expected = {prefix_ + "a.bin", prefix_ + "A.a26",
                                       prefix_ + "b.a26", prefix_ + "x.zip"};
  EXPECT_EQ(testsupport::WalkOrderFree(g_seen),
            testsupport::WalkOrderFree(expected));
  EXPECT_EQ(g_seenFlags, std::vector<int>(4, RUN_DUMP | RUN_SCAN));
}

struct ZipPassCase {
  std::vector<std::string> patterns;
  bool zipPass;
  size_t archivesSeen;
};

TEST_F(RunToolTest, ExtraArchivePassUnlessThePatternsCoverIt) {
  WriteFile(dir_.Join("x.zip"), "x");
  const ZipPassCase cases[] = {
      {{"*.a26", "*.bin"}, true, 1},
      {{"*.a26", "*.zip"}, true, 1},   // walked once, by its own pattern
      {{"*.*"}, true, 1},
      {{"x*.*"}, true, 1},             // a substring is enough
      {{"*.ZIP"}, true, 2},            // the test is case-sensitive
      {{"*.a26"}, false, 0},           // a tool without the pass
  };
  for (const ZipPassCase& c : cases) {
    g_seen.clear();
    std::vector<std::string> args = {"-d"};
    args.insert(args.end(), c.patterns.begin(), c.patterns.end());
    Run(c.zipPass, args);
    EXPECT_EQ(g_seen.size(), c.archivesSeen) << testing::PrintToString(args);
  }
}

TEST_F(RunToolTest, PatternTextStartingWithASpaceWalksOnlyArchives) {
  WriteFile(dir_.Join("a.a26"), "x");
  WriteFile(dir_.Join("x.zip"), "x");
  Run(true, {"-d", " *.a26"});
  EXPECT_EQ(g_seen, std::vector<std::string>{prefix_ + "x.zip"});
}

TEST_F(RunToolTest, RenameLoadsReportsWalksAndUnloads) {
  WriteFile(dir_.Join("a.a26"), "x");
  g_catalogCount = 3;
  EXPECT_EQ(Run(false, {"2600"}),
            "Banner\n3 files from 2600.dat.\n\n\nUnloading Data\n");
  EXPECT_EQ(g_seen, std::vector<std::string>{prefix_ + "a.a26"});
  EXPECT_EQ(g_seenFlags, std::vector<int>{RUN_RENAME | RUN_SCAN | RUN_SYSTEM});
  EXPECT_EQ(g_clears, 1);
}

TEST_F(RunToolTest, EmptyCatalogEndsTheRunBeforeTheWalk) {
  WriteFile(dir_.Join("a.a26"), "x");
  EXPECT_EQ(Run(true, {"2600"}), "Banner\nError getting data.\n");
  EXPECT_TRUE(g_seen.empty());
  EXPECT_EQ(g_clears, 0);
}

}  // namespace
