// Wildcard matching as the Windows listing does it, which the POSIX
// listing reproduces over UTF-8 names; and where UTF-8 characters end.
#include <gtest/gtest.h>

#include "core/progress.h"
#include "core/text.h"
#include "core/wildcard.h"

namespace {

TEST(WildcardTest, FollowsTheWindowsListingRules) {
  const struct {
    const char* pattern;
    const char* name;
    bool matches;
  } cases[] = {
      {"*.a26", "pacman.a26", true},     {"*.A26", "PACMAN.a26", true},
      {"*.a26", "pacman.a260", false},   {"*.a26", "pacman.a2", false},
      {"*.a26", ".a26", true},           {"*", "", true},
      {"?.bin", "a.bin", true},          {"?.bin", "ab.bin", false},
      {"?.bin", ".bin", false},          {"game*.a26", "Game.a26", true},
      {"game*.a26", "agame.a26", false}, {"*.*", "README", true},
      {"game.*", "game", true},          {"game.*", "games", false},
      {"*a*b*c", "xaxbxc", true},        {"*a*b*c", "xaxbxcx", false},
      {"a**b", "ab", true},              {"\xE9*", "\xC9t\xE9", false},
      // A "?" is one character: a UTF-8 sequence, or a byte that starts none.
      {"?.jpg", "\xC3\xA9.jpg", true},   {"??.jpg", "\xC3\xA9.jpg", false},
      {"*?.jpg", "\xE2\x82\xAC.jpg", true}, {"?.jpg", "\xC3.jpg", true},
      {"??.jpg", "\xC3\x28.jpg", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WildcardMatches(c.pattern, c.name, true), c.matches) << c.pattern << " " << c.name;
  }
}

// The well-formed sequences of UTF-8 (RFC 3629) at the edges of each
// first byte's range for the second: one byte less or more is no
// character, and its first byte counts alone.
TEST(TextTest, CharacterLengthTakesWellFormedUtf8Only) {
  const std::pair<const char*, size_t> cases[] = {
      {"\xC2\x80", 2},         {"\xDF\xBF", 2},         {"\xC1\xBF", 1},
      {"\xE0\xA0\x80", 3},     {"\xE0\x9F\xBF", 1},     {"\xED\x9F\xBF", 3},
      {"\xED\xA0\x80", 1},     {"\xF0\x90\x80\x80", 4}, {"\xF0\x8F\xBF\xBF", 1},
      {"\xF1\x80\x80\x80", 4}, {"\xF4\x8F\xBF\xBF", 4}, {"\xF4\x90\x80\x80", 1},
      {"\xE1\x80\x7F", 1},     {"\xF5\x80\x80\x80", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(CharacterLength(c.first, true), c.second) << Printable(c.first);
  EXPECT_EQ(CharacterLength("\xC3\xA9", false), 1u);
}

// The progress line, worked out by hand: units of a thousand, the estimate
// from two seconds on, hours when it takes that long, cut to the width.
TEST(TextTest, TheProgressLineTellsHowFarTheWalkHasCome) {
  const struct {
    uint64_t filesDone, files, bytesDone, bytes;
    double seconds;
    size_t width;
    const char* line;
  } cases[] = {
      {1234, 5678, 12300000000, 40200000000, 10, 0,
       "Tessary: 1,234 of 5,678 files, 12.3 of 40.2 GB, 1.2 GB/s, about 0:22 left"},
      {1234, 5678, 12300000000, 40200000000, 10, 20, "Tessary: 1,234 of 5"},
      {0, 1, 500, 999, 1, 0, "Tessary: 0 of 1 files, 500.0 of 999.0 bytes, 500.0 bytes/s"},
      {0, 10, 1000000000, 4000000000000, 10, 0,
       "Tessary: 0 of 10 files, 0.0 of 4.0 TB, 100.0 MB/s, about 11:06:30 left"},
  };
  for (const auto& c : cases) {
    Progress progress;
    progress.tool = "Tessary";
    ProgressStartWalk(&progress, c.files, c.bytes);
    progress.filesDone = c.filesDone;
    progress.bytesDone = c.bytesDone;
    EXPECT_EQ(ProgressLine(progress, c.seconds, c.width), c.line);
  }
}

}  // namespace
