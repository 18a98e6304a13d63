// Reading a file, or bytes in memory, by offset and length: the one way in
// which the readers of archives, catalogs and files reach their input, so
// that a test can hand them bytes, or fail any read it chooses.
//
// Readers built on it never print: they return 0 with the reason in an
// `error` text, and their caller says it (once).
#ifndef CORE_READ_SOURCE_H_
#define CORE_READ_SOURCE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/platform.h"

class ReadSource {
 public:
  virtual ~ReadSource() = default;
  // The number of bytes the source holds.
  virtual uint64_t Size() const = 0;
  // What file the source reads, when it reads one.
  virtual FileIdentity Identity() const { return FileIdentity(); }
  // Reads up to `count` bytes at `offset` into `into`, fewer only where the
  // source ends, and stores how many arrived in `*got`. Returns 1; 0 after
  // a failed read, with the reason in `*error`.
  virtual int ReadAt(uint64_t offset, unsigned char* into, size_t count, size_t* got,
                     std::string* error) = 0;
};

using SourcePtr = std::unique_ptr<ReadSource>;

// Opens the file `path` for reading. Returns null, with the reason in
// `*error`, when it cannot be opened or is not a regular file.
using SourceOpener = std::function<SourcePtr(const std::string& path, std::string* error)>;

// The opener of real files: a regular file only, and never blocking on a
// pipe or device that took its place. The error is told only when it is
// one that a user can remedy (too many open files, no memory); else empty.
SourcePtr OpenFileSource(const std::string& path, std::string* error);

// A source that holds `bytes`.
SourcePtr MemorySource(std::string bytes);

// Reads exactly `count` bytes at `offset` into `into`. Returns 1; 0 after a
// failed read or when the source ends first, with the reason in `*error`.
int ReadExactly(ReadSource* source, uint64_t offset, unsigned char* into, size_t count,
                std::string* error);

// Reads a source from its start, a byte at a time, through a piece held in
// memory.
struct ByteReader {
  static constexpr size_t kPiece = 64 * 1024;
  ReadSource* source = nullptr;
  uint64_t offset = 0;  // of the piece's end in the source
  std::unique_ptr<unsigned char[]> piece;
  size_t at = 0, end = 0;  // what of `piece` is still to be read
  bool failed = false;     // a read failed: `error` says why
  std::string error;
};

// Starts `reader` at the start of `source`. Returns 1; 0 when the memory
// for its piece cannot be had.
int ByteReaderStart(ByteReader* reader, ReadSource* source);

// Reads the next piece into `reader`. Returns 1; 0 at the end, or after a
// failed read (which sets `failed`).
int ByteReaderRefill(ByteReader* reader);

// The next byte, not taken; -1 at the end, or after a failed read.
inline int PeekByte(ByteReader* reader) {
  if (reader->at == reader->end && !ByteReaderRefill(reader)) return -1;
  return reader->piece[reader->at];
}

// The next byte, taken; -1 as PeekByte.
inline int TakeByte(ByteReader* reader) {
  int c = PeekByte(reader);
  if (c >= 0) ++reader->at;
  return c;
}

// Reads the next line into `line`, as a C stream reads a text file with a
// buffer of `capacity` bytes: at most `capacity` - 1 bytes, up to and
// including a line feed, the rest of a longer line coming back as a line of
// its own; then a NUL. With `textMode` a carriage return before a line
// feed is dropped and the byte 0x1A ends the text, as the text mode of
// Windows reads it. Returns 1 when a line was read; 0 at the end of the
// text, or after a failed read (which sets `failed`).
int ReadLine(ByteReader* reader, bool textMode, char* line, size_t capacity);

// A source read as this system reads its text files, a line at a time,
// with lines of at most kLineMost - 1 bytes as ReadLine takes them.
struct TextLines {
  static constexpr size_t kLineMost = 1000;
  ByteReader bytes;
  bool textMode = false;
  char line[kLineMost];
};

// Starts `lines` at the start of `source`, with the text mode of this
// system (PlatformTextModeTranslates). Returns 1; 0 when the memory for
// its piece cannot be had.
int TextLinesStart(TextLines* lines, ReadSource* source);

// Reads the next line into `lines->line` by ReadLine.
int NextLine(TextLines* lines);

#endif  // CORE_READ_SOURCE_H_
