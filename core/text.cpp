#include "core/text.h"

#include <cstdio>
#include <cstring>

namespace {

bool IsLineEndControl(unsigned char c) { return c >= 9 && c <= 13; }

bool IsBlank(unsigned char c) { return c == ' ' || IsLineEndControl(c); }

bool IsControl(unsigned char c) { return (c >= 1 && c <= 31) || c == 127; }

// Value of `c` as a digit of `base`, or -1.
int DigitValue(unsigned char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9') value = c - '0';
  else if (c >= 'a' && c <= 'z') value = c - 'a' + 10;
  else if (c >= 'A' && c <= 'Z') value = c - 'A' + 10;
  return value < base ? value : -1;
}

}  // namespace

void TrimLineEnd(char* text) {
  size_t length = std::strlen(text);
  while (length > 1 &&
         IsLineEndControl(static_cast<unsigned char>(text[length - 1]))) {
    text[--length] = '\0';
  }
}

int ExtensionMatches(const char* a, const char* b) {
  int agreed = 0;
  while (a[agreed] != '\0' && b[agreed] != '\0') {
    if (AsciiLower(static_cast<unsigned char>(a[agreed])) !=
        AsciiLower(static_cast<unsigned char>(b[agreed]))) {
      return 0;
    }
    ++agreed;
  }
  return agreed;
}

char* FindExtension(char* name) { return std::strrchr(name, '.'); }

const char* FindExtension(const char* name) { return std::strrchr(name, '.'); }

int SplitFields(char* text, const char* separators, char* fields[],
                int maxFields) {
  auto isSeparator = [separators](char c) {
    return c != '\0' && std::strchr(separators, c) != nullptr;
  };
  int count = 0;
  char* p = text;
  while (count < maxFields) {
    while (isSeparator(*p)) ++p;
    if (*p == '\0') break;
    fields[count++] = p;
    while (*p != '\0' && !isSeparator(*p)) ++p;
    if (*p == '\0') break;
    *p++ = '\0';
  }
  return count;
}

uint32_t ParseUnsigned32(const char* text, int base) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (IsBlank(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
      DigitValue(p[2], 16) >= 0) {
    p += 2;
  }
  uint64_t value = 0;
  bool overflow = false;
  for (int digit; (digit = DigitValue(*p, base)) >= 0; ++p) {
    value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    if (value > 0xFFFFFFFFu) {
      overflow = true;
      value = 0xFFFFFFFFu;  // keep the accumulator from wrapping
    }
  }
  uint32_t result = overflow ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
  return negative ? 0u - result : result;
}

namespace {

// The length of the control character at `at` of `text`: 1 for the C0
// codes and DEL; 2 for the C1 codes (U+0080 to U+009F) in UTF-8, which
// terminals obey as well (C2 9B starts a command); 0 for anything else.
size_t ControlLength(const std::string& text, size_t at) {
  unsigned char c = static_cast<unsigned char>(text[at]);
  if (IsControl(c)) return 1;
  bool c1 = c == 0xC2 && at + 1 < text.size() && (static_cast<unsigned char>(text[at + 1]) & 0xE0) == 0x80;
  return c1 ? 2 : 0;
}

}  // namespace

int HasControlCharacter(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (ControlLength(text, i) != 0) return 1;
  }
  return 0;
}

std::string Printable(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    size_t length = ControlLength(text, i);
    if (length == 0) {
      out.push_back(text[i++]);
      continue;
    }
    for (; length > 0; --length, ++i) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(text[i]));
      out += escaped;
    }
  }
  return out;
}

size_t CharacterLength(const char* text, bool utf8) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  if (!utf8 || p[0] < 0xC2 || p[0] > 0xF4) return 1;
  size_t length = p[0] < 0xE0 ? 2 : p[0] < 0xF0 ? 3 : 4;
  // The second byte's range also rules out overlong forms, surrogates and
  // code points beyond U+10FFFF.
  unsigned char low = p[0] == 0xE0 ? 0xA0 : p[0] == 0xF0 ? 0x90 : 0x80;
  unsigned char high = p[0] == 0xED ? 0x9F : p[0] == 0xF4 ? 0x8F : 0xBF;
  if (p[1] < low || p[1] > high) return 1;
  for (size_t i = 2; i < length; ++i) {
    if (p[i] < 0x80 || p[i] > 0xBF) return 1;
  }
  return length;
}

size_t CutToCharacters(const char* text, size_t length, size_t most, bool utf8) {
  if (length <= most) return length;
  size_t cut = 0;
  for (size_t next = 0; next <= most;) {
    cut = next;
    next += CharacterLength(text + next, utf8);
  }
  return cut;
}

size_t LastCharacterStart(const std::string& text, bool utf8) {
  size_t start = 0;
  for (size_t next = 0; next < text.size();) {
    start = next;
    next += CharacterLength(text.c_str() + next, utf8);
  }
  return start;
}
