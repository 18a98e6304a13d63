// Loading a whole file into memory for checksumming, through the run's
// read seam, with the messages the tools give when that fails.
#ifndef CORE_FILE_LOAD_H_
#define CORE_FILE_LOAD_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/memory_budget.h"
#include "core/read_source.h"

// Bytes of one file. Grows when needed and is never zero-filled. With a
// budget, the bytes in use are counted against it.
struct FileBuffer {
  std::unique_ptr<unsigned char[]> bytes;
  size_t capacity = 0;
  MemoryBudget* budget = nullptr;
  size_t counted = 0;  // taken from the budget
};

// Makes `buffer` hold at least `size` bytes (contents not kept), taking
// them from its budget first (which may wait). Returns 1 on success; 0
// when the memory cannot be had.
int FileBufferReserve(FileBuffer* buffer, size_t size);

// Ends the use of `buffer` for one file: gives its bytes back to the
// budget, and frees them unless they are few enough to keep for the next.
void FileBufferDone(FileBuffer* buffer);

// The buffer that the per-file functions of this thread load files and
// members into, one at a time. Reusing it spares an allocation (and the
// kernel's zeroing of fresh pages) per file; it grows to the largest file
// the thread reads. Made on first use; may throw std::bad_alloc then.
FileBuffer* ReusableFileBuffer();

// Frees this thread's reusable buffer. Every thread that used it calls
// this before it ends: the buffer is held through a plain pointer, never
// as a thread-local object, because 32-bit MinGW runs the destructors of
// thread-local objects with a wrong object and frees what it points at.
void ReleaseReusableFileBuffer();

// Loads the whole regular file `path`, opened by `open`, into `buffer` and
// stores its length in `length`, and what file it is in `identity`. Returns 1 on success (an empty file has
// length 0). Returns 0 after one message through Say naming `path`:
//   "\nErr: Unable to open file %s\n" when it cannot be opened (or is not a
//   regular file), "\nErr: File too large %s\n" when it holds 4 GiB or
//   more, "\nErr: Unable to read file %s\n" when memory or the read fails.
// After a failure `length` is unchanged and the buffer's bytes unspecified.
int LoadFile(const SourceOpener& open, const std::string& path, FileBuffer* buffer, uint32_t* length,
             FileIdentity* identity);

#endif  // CORE_FILE_LOAD_H_
