// Helpers shared by the test binaries: a temporary folder per test, file
// helpers, running a built program, and an independent CRC-32 reference.
#ifndef TESTS_SUPPORT_TEST_SUPPORT_H_
#define TESTS_SUPPORT_TEST_SUPPORT_H_

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

// A fresh, empty temporary folder; removed with all it holds at the end.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  // The folder's path, without a trailing separator.
  const std::string& path() const { return path_; }
  // `name` inside the folder.
  std::string Join(const std::string& name) const;

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool PathExists(const std::string& path);
void MakeFolder(const std::string& path);

// Deterministic pseudo-random bytes.
std::string RandomBytes(size_t length, uint32_t seed);

// Paths of all files (not folders) under `root`, relative to it, sorted.
std::vector<std::string> ListFiles(const std::string& root);

// The contents of all files under `root`, as a multiset: comparing two
// snapshots proves that nothing was lost, duplicated or overwritten.
std::multiset<std::string> SnapshotContents(const std::string& root);

// What a program run left behind.
struct ProgramResult {
  std::string out;  // standard output, byte for byte
  std::string err;  // standard error, byte for byte
  int status = -1;  // exit status; -1 when it did not exit normally
};

// Runs `program` with `args` in the folder `workingDir` and collects its
// output (captured outside that folder, so it never shows in a listing).
ProgramResult RunProgram(const std::string& program,
                         const std::vector<std::string>& args,
                         const std::string& workingDir);

// zlib's CRC-32 of `bytes`: the reference the tests compare with.
uint32_t ReferenceCrc(const std::string& bytes);

// "%08x" of `value`.
std::string Hex8(uint32_t value);

}  // namespace testsupport

#endif  // TESTS_SUPPORT_TEST_SUPPORT_H_
