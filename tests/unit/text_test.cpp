// Wildcard matching as the Windows listing does it, and 32-bit number
// parsing, as tables.
#include <gtest/gtest.h>

#include "core/text.h"
#include "core/wildcard.h"

namespace {

TEST(WildcardTest, FollowsTheWindowsListingRules) {
  const struct {
    const char* pattern;
    const char* name;
    bool matches;
  } cases[] = {
      {"*.a26", "pacman.a26", true},  {"*.A26", "PACMAN.a26", true},
      {"*.a26", "pacman.a260", false}, {"*.a26", "pacman.a2", false},
      {"*.a26", ".a26", true},         {"*", "", true},
      {"?.bin", "a.bin", true},        {"?.bin", "ab.bin", false},
      {"?.bin", ".bin", false},        {"game*.a26", "Game.a26", true},
      {"game*.a26", "agame.a26", false}, {"*.*", "README", true},
      {"game.*", "game", true},        {"game.*", "games", false},
      {"*a*b*c", "xaxbxc", true},      {"*a*b*c", "xaxbxcx", false},
      {"a**b", "ab", true},            {"\xE9*", "\xC9t\xE9", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WildcardMatches(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
  }
}

TEST(ParseUnsigned32Test, ReadsAsFarAsTheDigitsGo) {
  const struct {
    const char* text;
    int base;
    uint32_t value;
  } cases[] = {
      {"0012abcd", 16, 0x12ABCD}, {" \t0XFF", 16, 0xFF},   {"0x", 16, 0},
      {"0xg", 16, 0},             {"-1", 16, 0xFFFFFFFF}, {"+10", 10, 10},
      {"4294967296", 10, 0xFFFFFFFF}, {"fffffffff", 16, 0xFFFFFFFF},
      {"-4294967296", 10, 1},     {"12x34", 10, 12},      {"", 10, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseUnsigned32(c.text, c.base), c.value) << c.text;
  }
}

}  // namespace
