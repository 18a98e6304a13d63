#include "core/file_load.h"

#include <cstdint>
#include <cstdio>
#include <new>

#include "core/output.h"
#include "core/text.h"

namespace {

int ReportLoadFailure(const char* format, const std::string& path) {
  Say(stderr, format, Printable(path).c_str());
  return 0;
}

}  // namespace

int FileBufferReserve(FileBuffer* buffer, size_t size) {
  if (buffer->budget != nullptr && size > buffer->counted) {
    // All given back before more is taken: a thread never waits while it
    // holds bytes that another waits for.
    buffer->budget->Give(buffer->counted);
    buffer->counted = 0;
    buffer->budget->Take(size);
    buffer->counted = size;
  }
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

void FileBufferDone(FileBuffer* buffer) {
  // Small buffers stay, sparing small files an allocation each.
  const size_t kKept = size_t{1} << 20;
  if (buffer->budget != nullptr) buffer->budget->Give(buffer->counted);
  buffer->counted = 0;
  if (buffer->capacity > kKept) {
    buffer->bytes.reset();
    buffer->capacity = 0;
  }
}

namespace {

thread_local FileBuffer* t_reusable = nullptr;

}  // namespace

FileBuffer* ReusableFileBuffer() {
  if (t_reusable == nullptr) t_reusable = new FileBuffer;
  return t_reusable;
}

void ReleaseReusableFileBuffer() {
  delete t_reusable;
  t_reusable = nullptr;
}

int LoadFile(const SourceOpener& open, const std::string& path, FileBuffer* buffer, uint32_t* length,
             FileIdentity* identity) {
  std::string error;
  SourcePtr source = open(path, &error);
  if (!source) return ReportLoadFailure("\nErr: Unable to open file %s\n", path);
  // Lengths are 32-bit throughout, as in the catalogs and zip archives.
  uint64_t size = source->Size();
  if (size > UINT32_MAX || size > SIZE_MAX) {
    return ReportLoadFailure("\nErr: File too large %s\n", path);
  }
  if (!FileBufferReserve(buffer, static_cast<size_t>(size)) ||
      !ReadExactly(source.get(), 0, buffer->bytes.get(), static_cast<size_t>(size), &error)) {
    return ReportLoadFailure("\nErr: Unable to read file %s\n", path);
  }
  *length = static_cast<uint32_t>(size);
  *identity = source->Identity();
  return 1;
}
