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
#include <string>

#include "core/read_source.h"

enum CmpToken {
  CMP_END,    // the end of the file
  CMP_OPEN,   // "("
  CMP_CLOSE,  // ")"
  CMP_TEXT,   // a word or a quoted text, in `text`
  CMP_FAULT,  // bytes no catalog holds (see CmpNextToken)
};

// Reads tokens from a source, a piece at a time.
struct CmpTokenizer {
  static constexpr size_t kMaxToken = 4096;  // longer words are faults
  ByteReader bytes;
  unsigned long line = 1;  // the line of the last byte read
  bool atLineStart = true; // nothing but white space read on this line
  std::string text;
};

// Starts `tokenizer` on `source`, at its start, past a UTF-8 byte order
// mark. Returns 1; 0 when the memory for its piece cannot be had.
int CmpStart(CmpTokenizer* tokenizer, ReadSource* source);

// Reads the next token. White space (space, tab, line ends, vertical tab,
// form feed) separates tokens, and so do "(" and ")". A word runs up to
// the next separator; a text in quotes runs to the next quote and may
// hold spaces and parentheses. Returns CMP_FAULT for a NUL byte, a token
// of more than kMaxToken bytes, or a quote that a line end or the end of
// the file cuts; `line` then holds the fault's line. A failed read ends
// the tokens as the end of the file does, and sets `bytes.failed`.
int CmpNextToken(CmpTokenizer* tokenizer);

// Reads the ClrMamePro catalog `source` named `fileName`. Appends to the
// catalog of RomEntry one entry per rom group of a game that has a "crc"
// (1 to 8 hex digits, or "0x" and them; "-" is none) and neither "status
// nodump" nor "flags nodump", in the order written, named as the group
// names it, or after its game when it has no name; then builds the index.
// Everything else gives nothing. Returns the number of entries; 0, with
// the catalog empty and the reason in `*said`, when a read fails, the file
// is not well-formed (a token fault, a block not closed or closed twice, a
// key without a value, blocks nested more than 16 deep, a "crc" of
// anything else), when it lists no rom with a CRC-32, or when the memory
// runs out. Lines about names passed over go to `*said` too.
uint32_t LoadCmpCatalog(ReadSource* source, const std::string& fileName, std::string* said);

#endif  // ROMTOOL_CMP_CATALOG_H_
