// What the test binaries share: temporary folders, whole-file reads and
// writes, reproducible bytes, zlib's CRC-32 as the reference, and running a
// built program. support_posix.cpp and support_win32.cpp hold the little
// that differs between operating systems.
#ifndef TESTS_SUPPORT_SUPPORT_H_
#define TESTS_SUPPORT_SUPPORT_H_

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/read_source.h"

namespace fs = std::filesystem;

// A fresh, empty folder, removed with everything in it when the object dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Makes `path` the current directory while the object lives.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const fs::path& path) : previous_(fs::current_path()) {
    fs::current_path(path);
  }
  ~CurrentDirectory() { fs::current_path(previous_); }

 private:
  fs::path previous_;
};

std::string ReadBytes(const fs::path& path);
void WriteBytes(const fs::path& path, const std::string& bytes);
std::string RandomBytes(size_t length, uint32_t seed);  // the same for a seed
uint32_t ReferenceCrc(const std::string& bytes);         // zlib's
std::string Hex8(uint32_t value);                        // "%08x"
fs::path FixturePath(const std::string& relative);       // under tests/fixtures

// `folder` as a program started in it prints it, with the separator.
std::string ProgramView(const fs::path& folder);

// Runs `program` with `args` in `folder`, standard output and error
// captured outside it. Returns true when it exited with status 0.
bool RunProgram(const std::string& program, const std::vector<std::string>& args,
                const fs::path& folder, std::string* out, std::string* err);

// The shell command that runs `program` with `args` in `folder`, reading
// nothing and writing to the files `out` and `err`.
std::string ShellCommand(const std::string& program, const std::vector<std::string>& args,
                         const fs::path& folder, const fs::path& out, const fs::path& err);

// Keeps other programs from opening `path` while the result lives; null
// where the system cannot (permissions do not stop root).
std::shared_ptr<void> LockAgainstReading(const fs::path& path);

bool MakeFifo(const fs::path& path);  // false where there are none

// An opener whose every file holds `bytes`, and whose read number
// `failAt` (counting from 1 over all files opened) fails with the error
// "injected fault"; 0 fails none. `*reads` counts the reads asked for.
// Every file it opens is the one file {7, 7}.
SourceOpener FaultyOpener(const std::string& bytes, int failAt, int* reads);

#endif  // TESTS_SUPPORT_SUPPORT_H_
