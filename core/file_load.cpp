#include "core/file_load.h"

#include <cstdint>
#include <cstdio>
#include <new>

#include "core/output.h"
#include "core/platform.h"
#include "core/text.h"

namespace {

int ReportLoadFailure(const char* format, const std::string& path) {
  Say(stderr, format, Printable(path).c_str());
  return 0;
}

}  // namespace

int FileBufferReserve(FileBuffer* buffer, size_t size) {
  if (size <= buffer->capacity && buffer->bytes) return 1;
  buffer->bytes.reset();
  buffer->capacity = 0;
  // Plain new[] of bytes leaves them uninitialised: the read fills them.
  unsigned char* grown = new (std::nothrow) unsigned char[size > 0 ? size : 1];
  if (grown == nullptr) return 0;
  buffer->bytes.reset(grown);
  buffer->capacity = size;
  return 1;
}

FileBuffer* ReusableFileBuffer() {
  thread_local FileBuffer buffer;
  return &buffer;
}

int LoadFile(const std::string& path, FileBuffer* buffer, uint32_t* length) {
  uint64_t size = 0;
  PlatformFile file = PlatformOpenFile(path.c_str(), &size);
  if (file == kNoFile) {
    return ReportLoadFailure("\nErr: Unable to open file %s\n", path);
  }
  // Lengths are 32-bit throughout, as in the catalogs and zip archives.
  const char* failure = nullptr;
  if (size > UINT32_MAX || size > SIZE_MAX) {
    failure = "\nErr: File too large %s\n";
  } else if (!FileBufferReserve(buffer, static_cast<size_t>(size)) ||
             !PlatformReadExactly(file, buffer->bytes.get(),
                                  static_cast<size_t>(size))) {
    failure = "\nErr: Unable to read file %s\n";
  }
  PlatformCloseFile(file);
  if (failure != nullptr) return ReportLoadFailure(failure, path);
  *length = static_cast<uint32_t>(size);
  return 1;
}

uint32_t ReportNoMemory(const std::string& fileName) {
  return static_cast<uint32_t>(
      ReportLoadFailure("\nErr: Not enough memory for %s\n", fileName));
}
