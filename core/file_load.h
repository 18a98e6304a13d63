// Reading files: streams that close themselves, and loading a whole file
// into memory for checksumming, with the messages the tools give when that
// fails.
#ifndef CORE_FILE_LOAD_H_
#define CORE_FILE_LOAD_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// Closes its stream when it goes out of scope.
struct StreamCloser {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using OwnedStream = std::unique_ptr<std::FILE, StreamCloser>;

// Bytes of one file. Grows when needed and is never zero-filled.
struct FileBuffer {
  std::unique_ptr<unsigned char[]> bytes;
  size_t capacity = 0;
};

// Makes `buffer` hold at least `size` bytes (contents not kept). Returns
// 1 on success; 0 when the memory cannot be had.
int FileBufferReserve(FileBuffer* buffer, size_t size);

// The buffer that the per-file functions of this thread load files and
// members into, one at a time. Reusing it spares an allocation (and the
// kernel's zeroing of fresh pages) per file; it grows to the largest file
// the thread reads.
FileBuffer* ReusableFileBuffer();

// Loads the whole regular file `path` into `buffer` and stores its length
// in `length`. Returns 1 on success (an empty file has length 0). Returns 0
// after one message on standard error naming `path`:
//   "\nErr: Unable to open file %s\n" when it cannot be opened (or is not a
//   regular file), "\nErr: File too large %s\n" when it holds 4 GiB or
//   more, "\nErr: Unable to read file %s\n" when memory or the read fails.
// After a failure `length` is unchanged and the buffer's bytes unspecified.
int LoadFile(const std::string& path, FileBuffer* buffer, uint32_t* length);

// Prints "\nErr: Not enough memory for %s\n" with `fileName` to standard
// error, for a catalog that cannot be held whole, and returns 0: a catalog
// cut short could send files to the wrong names.
uint32_t ReportNoMemory(const std::string& fileName);

#endif  // CORE_FILE_LOAD_H_
