#include "core/patterns.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class PatternListTest : public testing::Test {
 protected:
  void TearDown() override { FreePatternList(); }

  void Build(const std::string& text, bool echo = false) {
    std::string copy = text;
    ASSERT_EQ(BuildPatternList(&copy[0], echo), 1);
  }
};

struct BuildCase {
  const char* text;
  std::vector<std::string> expected;
};

TEST_F(PatternListTest, SplitsAtSpacesAndEndsAtTheFirstEmptyPattern) {
  const BuildCase cases[] = {
      {"*.a26 *.bin ", {"*.a26", "*.bin"}},
      {"*.a26 *.bin  \r\n", {"*.a26", "*.bin"}},
      {"*.a26  *.bin", {"*.a26"}},  // two spaces: the list ends there
      {" *.a26", {}},               // a leading space: no patterns at all
      {"", {}},
      {"*.a26\t*.bin", {"*.a26"}},  // a control character ends the text
      {"*.\xE9t\xE9 x", {"*.\xE9t\xE9", "x"}},  // high bytes are ordinary
  };
  for (const BuildCase& c : cases) {
    Build(c.text);
    EXPECT_TRUE(PatternListExists());
    EXPECT_EQ(PatternListEntries(), c.expected) << "text: " << c.text;
  }
}

TEST_F(PatternListTest, EchoesTheTrimmedTextWithOneMoreSpace) {
  testing::internal::CaptureStdout();
  Build("*.a26 *.bin \r\n", true);
  Build("*.nes", false);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "*.a26 *.bin  \n");
}

TEST_F(PatternListTest, DoesNotExistUntilBuiltAndAfterFree) {
  EXPECT_FALSE(PatternListExists());
  Build("*.a26 ");
  FreePatternList();
  EXPECT_FALSE(PatternListExists());
  EXPECT_TRUE(PatternListEntries().empty());
}

struct AcceptCase {
  const char* list;
  const char* extension;
  bool accepted;
};

TEST_F(PatternListTest, AcceptsExtensionsByTheirCommonLength) {
  const AcceptCase cases[] = {
      {"*.a26 *.bin ", ".A26", true},
      {"*.a26 *.bin ", ".bin", true},
      {"*.a26 *.bin ", ".nes", false},
      {"*.a ", ".a26", true},        // the shorter text decides
      {"*.a ", ".a78", true},
      {"*.bin ", ".b", true},
      {"game*.a26 ", ".a26", false},  // does not start with "*."
      {"*.* ", ".anything", true},
      {"*.a26 *.* ", ".nes", false},  // "*.*" only counts when first
      {" *.a26", ".a26", false},      // no patterns
      {"* ", ".a26", false},          // nothing left after the star
      {".a26 ", ".A26", true},        // a star is optional
  };
  for (const AcceptCase& c : cases) {
    Build(c.list);
    EXPECT_EQ(PatternListAccepts(c.extension), c.accepted)
        << "list '" << c.list << "' extension " << c.extension;
  }
}

}  // namespace
