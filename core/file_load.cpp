#include "core/file_load.h"

#include <cstdio>
#include <new>

#include "core/platform.h"

namespace {

int ReportLoadFailure(const char* format, const std::string& path) {
  std::fprintf(stderr, format, path.c_str());
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

int LoadFile(const std::string& path, FileBuffer* buffer, uint32_t* length) {
  OwnedStream stream(PlatformOpenForReading(path.c_str(), false));
  if (!stream) return ReportLoadFailure("\nErr: Unable to open file %s\n", path);
  uint64_t size = 0;
  if (!PlatformFileSize(stream.get(), &size)) {
    return ReportLoadFailure("\nErr: Unable to read file %s\n", path);
  }
  // Lengths are 32-bit throughout, as in the catalogs and zip archives.
  if (size > UINT32_MAX || size > SIZE_MAX) {
    return ReportLoadFailure("\nErr: File too large %s\n", path);
  }
  if (!FileBufferReserve(buffer, static_cast<size_t>(size))) {
    return ReportLoadFailure("\nErr: Unable to read file %s\n", path);
  }
  size_t wanted = static_cast<size_t>(size);
  if (wanted > 0 &&
      std::fread(buffer->bytes.get(), 1, wanted, stream.get()) != wanted) {
    return ReportLoadFailure("\nErr: Unable to read file %s\n", path);
  }
  *length = static_cast<uint32_t>(size);
  return 1;
}
