#include "core/wildcard.h"

#include <cstring>
#include <string>

#include "core/text.h"

namespace {

bool SameLetter(char a, char b) {
  return AsciiUpper(static_cast<unsigned char>(a)) ==
         AsciiUpper(static_cast<unsigned char>(b));
}

// Classic greedy match with one backtrack point: on a mismatch after a
// "*", let that star swallow one more character and retry. Linear in
// practice and never recursive, so long hostile names cannot blow the stack.
bool MatchPlain(const char* pattern, const char* name, bool utf8) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name != '\0') {
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (*pattern == '?') {
      ++pattern;
      name += CharacterLength(name, utf8);
    } else if (*pattern != '\0' && SameLetter(*pattern, *name)) {
      ++pattern;
      ++name;
    } else if (star != nullptr) {
      pattern = star + 1;
      resume += CharacterLength(resume, utf8);
      name = resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

// A pattern that is one "*" and then plain characters, such as "*.a26",
// matches the names that end with them: the common case, tested without
// the backtracking of MatchPlain.
bool MatchesEnding(const char* pattern, const char* name, bool* decided) {
  *decided = pattern[0] == '*' && std::strpbrk(pattern + 1, "*?") == nullptr;
  if (!*decided) return false;
  size_t ending = std::strlen(pattern + 1), length = std::strlen(name);
  if (ending > length) return false;
  for (size_t i = 0; i < ending; ++i) {
    if (!SameLetter(pattern[1 + i], name[length - ending + i])) return false;
  }
  return true;
}

}  // namespace

bool WildcardMatches(const char* pattern, const char* name, bool utf8) {
  bool decided = false;
  if (MatchesEnding(pattern, name, &decided)) return true;
  if (!decided && MatchPlain(pattern, name, utf8)) return true;
  // "game.*" also finds "game", and "*.*" finds names without a dot.
  size_t length = std::strlen(pattern);
  if (length >= 2 && std::strcmp(pattern + length - 2, ".*") == 0 &&
      std::strchr(name, '.') == nullptr) {
    std::string stem(pattern, length - 2);
    return MatchPlain(stem.c_str(), name, utf8);
  }
  return false;
}
