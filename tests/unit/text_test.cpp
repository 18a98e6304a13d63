// Wildcard matching as the Windows listing does it, which the POSIX
// listing reproduces over UTF-8 names.
#include <gtest/gtest.h>

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

}  // namespace
