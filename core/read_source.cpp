#include "core/read_source.h"

#include <algorithm>
#include <new>

#include "core/platform.h"

namespace {

class FileSource : public ReadSource {
 public:
  FileSource(PlatformFile file, uint64_t size, FileIdentity identity)
      : file_(file), size_(size), identity_(identity) {}
  ~FileSource() override { PlatformCloseFile(file_); }
  uint64_t Size() const override { return size_; }
  FileIdentity Identity() const override { return identity_; }
  int ReadAt(uint64_t offset, unsigned char* into, size_t count, size_t* got,
             std::string* error) override {
    if (PlatformReadAt(file_, offset, into, count, got)) return 1;
    *error = PlatformErrorText();
    return 0;
  }

 private:
  PlatformFile file_;
  uint64_t size_;
  FileIdentity identity_;
};

class BytesSource : public ReadSource {
 public:
  explicit BytesSource(std::string bytes) : bytes_(std::move(bytes)) {}
  uint64_t Size() const override { return bytes_.size(); }
  int ReadAt(uint64_t offset, unsigned char* into, size_t count, size_t* got,
             std::string*) override {
    *got = 0;
    if (offset >= bytes_.size()) return 1;
    *got = std::min<uint64_t>(count, bytes_.size() - offset);
    std::copy_n(bytes_.data() + offset, *got, into);
    return 1;
  }

 private:
  std::string bytes_;
};

}  // namespace

SourcePtr OpenFileSource(const std::string& path, std::string* error) {
  uint64_t size = 0;
  FileIdentity identity;
  PlatformFile file = PlatformOpenFile(path.c_str(), &size, &identity);
  if (file == kNoFile) {
    // Only a reason a user can remedy is told; a file that is missing or
    // is no regular file needs none.
    error->clear();
    if (PlatformOpenFailedForLackOfResources()) *error = PlatformErrorText();
    return nullptr;
  }
  return SourcePtr(new FileSource(file, size, identity));
}

SourcePtr MemorySource(std::string bytes) { return SourcePtr(new BytesSource(std::move(bytes))); }

int ReadExactly(ReadSource* source, uint64_t offset, unsigned char* into, size_t count,
                std::string* error) {
  while (count > 0) {
    size_t got = 0;
    if (!source->ReadAt(offset, into, count, &got, error)) return 0;
    if (got == 0) {
      *error = "the file ends early";
      return 0;
    }
    offset += got;
    into += got;
    count -= got;
  }
  return 1;
}

int ByteReaderStart(ByteReader* reader, ReadSource* source) {
  reader->piece.reset(new (std::nothrow) unsigned char[ByteReader::kPiece]);
  if (!reader->piece) return 0;
  reader->source = source;
  reader->offset = 0;
  reader->at = reader->end = 0;
  reader->failed = false;
  reader->error.clear();
  return 1;
}

int ByteReaderRefill(ByteReader* reader) {
  if (reader->failed) return 0;
  size_t got = 0;
  reader->at = reader->end = 0;
  if (!reader->source->ReadAt(reader->offset, reader->piece.get(), ByteReader::kPiece, &got,
                              &reader->error)) {
    reader->failed = true;
    return 0;
  }
  reader->offset += got;
  reader->end = got;
  return got > 0;
}

int ReadLine(ByteReader* reader, bool textMode, char* line, size_t capacity) {
  const int kTextEnd = 0x1A;
  size_t length = 0;
  while (length + 1 < capacity) {
    int c = PeekByte(reader);
    if (c < 0 || (textMode && c == kTextEnd)) break;
    ++reader->at;
    // A carriage return that a line feed follows is the line end's.
    if (textMode && c == '\r' && PeekByte(reader) == '\n') continue;
    line[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  line[length] = '\0';
  return length > 0 && !reader->failed;
}

int TextLinesStart(TextLines* lines, ReadSource* source) {
  lines->textMode = PlatformTextModeTranslates() != 0;
  return ByteReaderStart(&lines->bytes, source);
}

int NextLine(TextLines* lines) {
  return ReadLine(&lines->bytes, lines->textMode, lines->line, TextLines::kLineMost);
}
