#include "core/patterns.h"

#include <cstdio>

#include "core/text.h"

namespace {

bool g_listExists = false;
std::vector<std::string> g_patterns;

bool EndsWalk(unsigned char c) { return c == '\0' || (c >= 9 && c <= 13); }

}  // namespace

void BuildPatternList(char* text, bool echo) {
  TrimLineEnd(text);
  if (echo) std::printf("%s \n", text);
  g_patterns.clear();
  std::string pattern;
  for (const char* p = text;; ++p) {
    bool end = EndsWalk(static_cast<unsigned char>(*p));
    if (end || *p == ' ') {
      if (pattern.empty()) break;  // an empty pattern ends the list
      g_patterns.push_back(pattern);
      pattern.clear();
      if (end) break;
    } else {
      pattern.push_back(*p);
    }
  }
  g_listExists = true;
}

bool PatternListExists() { return g_listExists; }

const std::vector<std::string>& PatternListEntries() { return g_patterns; }

bool PatternListAccepts(const char* extension) {
  if (!g_patterns.empty() && g_patterns.front() == "*.*") return true;
  for (const std::string& pattern : g_patterns) {
    const char* rest = pattern.c_str();
    if (*rest == '*') ++rest;
    if (ExtensionMatches(rest, extension) != 0) return true;
  }
  return false;
}

void FreePatternList() {
  g_patterns.clear();
  g_listExists = false;
}
