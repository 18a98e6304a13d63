#include "core/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TrimCase {
  const char* input;
  const char* expected;
};

TEST(TrimLineEndTest, RemovesTrailingControlCharactersOnly) {
  const TrimCase cases[] = {
      {"abc\r\n", "abc"},
      {"abc \n", "abc "},            // spaces stay
      {"abc\t\v\f\r\n", "abc"},       // codes 9 to 13
      {"a\nb\n", "a\nb"},             // stops at the first other character
      {"\n", "\n"},                   // the first character is never removed
      {"\r\n", "\r"},
      {"", ""},
      {"x\x1f", "x\x1f"},             // code 31 is not trimmed
  };
  for (const TrimCase& c : cases) {
    std::string text = c.input;
    TrimLineEnd(&text[0]);
    EXPECT_STREQ(text.c_str(), c.expected) << "input: " << c.input;
  }
}

struct MatchCase {
  const char* a;
  const char* b;
  int expected;
};

TEST(ExtensionMatchesTest, ComparesOverTheCommonLengthWithoutCase) {
  const MatchCase cases[] = {
      {".a26", ".A26", 4}, {".a", ".a26", 2},    {".bin", ".b", 2},
      {".zip", ".ZIPX", 4}, {".z64", ".zip", 0}, {"", ".zip", 0},
      {".zip", "", 0},      {"game*.a26", ".a26", 0},
      {"\xC4.x", "\xE4.x", 0},  // only ASCII letters fold
  };
  for (const MatchCase& c : cases) {
    EXPECT_EQ(ExtensionMatches(c.a, c.b), c.expected) << c.a << " / " << c.b;
  }
}

TEST(FindExtensionTest, FindsTheLastDot) {
  char name[] = "a.b.Rom";
  EXPECT_EQ(FindExtension(name), name + 3);
  char none[] = "README";
  EXPECT_EQ(FindExtension(none), nullptr);
}

struct ParseCase {
  const char* text;
  int base;
  uint32_t expected;
};

TEST(ParseUnsigned32Test, BehavesLikeStrtoulInThirtyTwoBits) {
  const ParseCase cases[] = {
      {"1234ABCD", 16, 0x1234ABCDu},
      {"1234abcd Game", 16, 0x1234ABCDu},
      {"0xff", 16, 0xFFu},
      {"0XfF", 16, 0xFFu},
      {"0000a1b2c3d4", 16, 0xA1B2C3D4u},  // twelve digits, but it fits
      {" \t 1a", 16, 0x1Au},
      {"+1a", 16, 0x1Au},
      {"-1", 16, 0xFFFFFFFFu},
      {"Error", 16, 0xEu},  // digits up to the first non-digit
      {"zz", 16, 0u},
      {"", 16, 0u},
      {"0x", 16, 0u},
      {"123456789", 16, 0xFFFFFFFFu},  // too large for 32 bits
      {"-123456789", 16, 1u},          // saturated, then negated
      {"12345", 10, 12345u},
      {"70000", 10, 70000u},
      {"4294967296", 10, 0xFFFFFFFFu},
      {"12a", 10, 12u},
  };
  for (const ParseCase& c : cases) {
    EXPECT_EQ(ParseUnsigned32(c.text, c.base), c.expected)
        << "text: " << c.text << " base " << c.base;
  }
}

}  // namespace
