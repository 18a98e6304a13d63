#include "tests/support/support.h"

#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

TempDir::TempDir() {
  // Test processes run side by side: a name already taken is skipped.
  std::mt19937_64 names(uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()));
  while (path_.empty()) {
    fs::path candidate = fs::temp_directory_path() / ("sorters-" + std::to_string(names() % 100000000));
    if (fs::create_directory(candidate)) path_ = candidate;
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out.write(bytes.data(), std::streamsize(bytes.size()))) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

std::string RandomBytes(size_t length, uint32_t seed) {
  std::mt19937 generator(seed);
  std::string bytes(length, '\0');
  for (char& c : bytes) c = char(generator() & 0xFF);
  return bytes;
}

uint32_t ReferenceCrc(const std::string& bytes) {
  return uint32_t(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size())));
}

std::string Hex8(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

fs::path FixturePath(const std::string& relative) { return fs::path(SORTERS_FIXTURES_DIR) / relative; }

std::string ProgramView(const fs::path& folder) {
  // The system's own view: links resolved, short names made long.
  CurrentDirectory inside(folder);
  std::string view = fs::current_path().u8string();
  if (view.back() != fs::path::preferred_separator) view += char(fs::path::preferred_separator);
  return view;
}

bool RunProgram(const std::string& program, const std::vector<std::string>& args,
                const fs::path& folder, std::string* out, std::string* err) {
  TempDir capture;
  std::fflush(nullptr);
  int status = std::system(ShellCommand(program, args, folder, capture.path() / "out",
                                        capture.path() / "err").c_str());
  *out = ReadBytes(capture.path() / "out");
  *err = ReadBytes(capture.path() / "err");
  return status == 0;
}

namespace {

class FaultySource : public ReadSource {
 public:
  FaultySource(const std::string& bytes, int failAt, int* reads)
      : inner_(MemorySource(bytes)), failAt_(failAt), reads_(reads) {}
  uint64_t Size() const override { return inner_->Size(); }
  FileIdentity Identity() const override { return FileIdentity{7, 7}; }
  int ReadAt(uint64_t offset, unsigned char* into, size_t count, size_t* got,
             std::string* error) override {
    if (++*reads_ == failAt_) {
      *error = "injected fault";
      return 0;
    }
    return inner_->ReadAt(offset, into, count, got, error);
  }

 private:
  SourcePtr inner_;
  int failAt_;
  int* reads_;
};

}  // namespace

SourceOpener FaultyOpener(const std::string& bytes, int failAt, int* reads) {
  *reads = 0;
  return [bytes, failAt, reads](const std::string&, std::string*) {
    return SourcePtr(new FaultySource(bytes, failAt, reads));
  };
}
