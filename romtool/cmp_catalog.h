// The .dat catalog in ClrMamePro's text layout: blocks such as
// "clrmamepro ( ... )", "emulator ( ... )", and "game ( ... )" (or
// "resource", "machine", "set") that hold groups "rom ( name ... size ...
// crc ... )". Inside a block, keys and values alternate; a value is a word
// or a "quoted" text, or a block of its own. Lines that start with "#" are
// comments. Read with a tokenizer of our own, in pieces of 64 KiB, with
// bounds on the length of a token and the nesting of blocks.
#ifndef ROMTOOL_CMP_CATALOG_H_
#define ROMTOOL_CMP_CATALOG_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

enum CmpToken {
  CMP_END,    // the end of the file
  CMP_OPEN,   // "("
  CMP_CLOSE,  // ")"
  CMP_TEXT,   // a word or a quoted text, in `text`
  CMP_FAULT,  // bytes no catalog holds (see CmpNextToken)
};

// Reads tokens from a stream, a piece at a time.
struct CmpTokenizer {
  static constexpr size_t kPiece = 64 * 1024;
  static constexpr size_t kMaxToken = 4096;  // longer words are faults
  std::FILE* stream = nullptr;
  std::unique_ptr<unsigned char[]> piece;
  size_t at = 0, end = 0;  // what of `piece` is still to be read
  unsigned long line = 1;  // the line of the last byte read
  bool atLineStart = true; // nothing but white space read on this line
  std::string text;
};

// Starts `tokenizer` on `stream`, at its start, past a UTF-8 byte order
// mark. Returns 1; 0 when the memory for its piece cannot be had.
int CmpStart(CmpTokenizer* tokenizer, std::FILE* stream);

// Reads the next token. White space (space, tab, line ends, vertical tab,
// form feed) separates tokens, and so do "(" and ")". A word runs up to
// the next separator; a text in quotes runs to the next quote and may
// hold spaces and parentheses. Returns CMP_FAULT for a NUL byte, a token
// of more than kMaxToken bytes, or a quote that a line end or the end of
// the file cuts; `line` then holds the fault's line.
int CmpNextToken(CmpTokenizer* tokenizer);

// Reads the ClrMamePro catalog `stream` (at its start, opened in binary
// mode) named `fileName`. Appends to the catalog of RomEntry one entry per
// rom group of a game that has a "crc" (1 to 8 hex digits, or "0x" and
// them; "-" is none) and neither "status nodump" nor "flags nodump", in
// the order written, named as the group names it, or after its game when
// it has no name; then builds the index. Everything else gives nothing.
// Returns the number of entries; 0, with the catalog empty, after a
// message when the file is not well-formed (a token fault, a block not
// closed or closed twice, a key without a value, blocks nested more than
// 16 deep, a "crc" of anything else), when it lists no rom with a CRC-32,
// or when the memory runs out.
uint32_t LoadCmpCatalog(std::FILE* stream, const std::string& fileName);

#endif  // ROMTOOL_CMP_CATALOG_H_
