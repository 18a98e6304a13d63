// Small text helpers shared by the catalog readers and the per-file code.
#ifndef CORE_TEXT_H_
#define CORE_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>

// ASCII letter case, leaving every other byte as it is. Inline: sorting a
// large folder calls them for every character compared.
inline unsigned char AsciiLower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a')
                                : c;
}
inline unsigned char AsciiUpper(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A')
                                : c;
}

// Removes trailing control characters (codes 9 to 13) from `text` in place,
// stopping at the first other character. Spaces stay. The first character
// is never removed, so texts of length 0 or 1 are left as they are.
void TrimLineEnd(char* text);

// Returns the number of leading characters in which `a` and `b` agree
// without regard to ASCII letter case, that is the length of the shorter
// one; 0 when they differ within that length or either is empty.
int ExtensionMatches(const char* a, const char* b);

// Returns a pointer to the extension of `name` (its last ".", included),
// or null when the name holds no ".".
char* FindExtension(char* name);
const char* FindExtension(const char* name);

// Splits `text` in place at runs of the characters of `separators` (a
// run counts as one, so no field is empty), as strtok does, and stores at
// most `maxFields` fields in order. Returns the number stored.
int SplitFields(char* text, const char* separators, char* fields[],
                int maxFields);

// Converts a number as strtoul does, for base 10 or 16, but in 32 bits:
// leading white space skipped, an optional sign, for base 16 an optional
// "0x", digits up to the first non-digit. No digits gives 0; a value too
// large for 32 bits gives 0xFFFFFFFF; a "-" sign then negates the result
// modulo 2^32.
uint32_t ParseUnsigned32(const char* text, int base);

// 1 when `text` holds a control character: codes 1 to 31 and 127, or a
// C1 code (U+0080 to U+009F) written in UTF-8.
int HasControlCharacter(const std::string& text);

// `text` with every byte of a control character written as \xNN (two
// lower-case hex digits), so that a name can be shown on a terminal as it
// is.
std::string Printable(const std::string& text);

// The length in bytes of the character that starts at `text` (not at its
// end): with `utf8`, the length of a valid UTF-8 sequence, and 1 for a byte
// that starts none; otherwise always 1.
size_t CharacterLength(const char* text, bool utf8);

// The length of the first `length` bytes of `text` cut to at most `most`
// bytes without splitting a character (by CharacterLength).
size_t CutToCharacters(const char* text, size_t length, size_t most, bool utf8);

// Where the last character of `text` (not empty) starts, by CharacterLength.
size_t LastCharacterStart(const std::string& text, bool utf8);

#endif  // CORE_TEXT_H_
