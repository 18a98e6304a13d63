// Helpers shared by the test binaries: a temporary folder per test, file
// helpers, running a built program, and an independent CRC-32 reference.
//
// The same tests run on POSIX systems and on Windows. Where the two differ
// in what a program prints or does (the path separator, line ends on text
// streams, the order of a directory walk), the helpers below give each
// system's expectation, so that the tests themselves need no conditionals.
// Each system has its own implementation file (test_support_posix.cpp,
// test_support_win32.cpp); test_support.cpp holds what they share.
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
  // `name` inside the folder; a "/" in `name` becomes the system's
  // separator, so "sub/x" works on every system.
  std::string Join(const std::string& name) const;

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool PathExists(const std::string& path);
void MakeFolder(const std::string& path);

// Makes the current directory `path` for the object's lifetime, then
// returns to the one before.
class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const std::string& path);
  ~ScopedCurrentDirectory();
  ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
  ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

 private:
  std::string previous_;
};

// The path separator of this system: '/' or '\\'.
char PathSeparator();

// `relative` with each "/" replaced by the system's separator.
std::string NativePath(const std::string& relative);

// The folder `path` as a program working in it names it, followed by the
// separator: links resolved on POSIX, the current-directory view on
// Windows.
std::string WorkingDirectoryView(const std::string& path);

// What a program's text-mode standard stream holds after it printed
// `text`: the same bytes on POSIX, each "\n" as "\r\n" on Windows.
std::string TextOutput(const std::string& text);

// Whether a directory walk visits files in one fixed order (POSIX: names
// folded to upper case) rather than the file system's own (Windows).
bool WalkOrderIsFixed();

// Prepares output whose lines follow the walk order for a comparison that
// holds on every system: unchanged where the order is fixed; otherwise the
// lines after the first `fixedLines` are sorted.
std::string WalkOrderFree(const std::string& text, size_t fixedLines);
std::vector<std::string> WalkOrderFree(std::vector<std::string> items);

// For a result that depends on which of two files the walk meets first:
// `inFixedOrder` where the walk order is fixed; elsewhere whichever of the
// two expectations `actual` equals (`inFixedOrder` when neither), so that
// comparing `actual` with the value accepts both orders there.
template <typename T>
T ExpectedForWalkOrder(const T& actual, const T& inFixedOrder,
                       const T& inOtherOrder) {
  if (!WalkOrderIsFixed() && actual == inOtherOrder) return inOtherOrder;
  return inFixedOrder;
}

// Where the system has symbolic links, makes `path` one that points
// nowhere; elsewhere does nothing.
void MakeDanglingLinkWhereSupported(const std::string& path);

// Makes `path` a file of `size` zero bytes that takes no room on disk.
// Returns false when the file system refuses such a file.
bool MakeSparseFile(const std::string& path, uint64_t size);

// Keeps other programs from opening the file `path` while it lives: no
// permissions on POSIX, an open without sharing on Windows. `active()` is
// false when that cannot work here (root reads every file on POSIX).
class ScopedUnreadable {
 public:
  explicit ScopedUnreadable(const std::string& path);
  ~ScopedUnreadable();
  ScopedUnreadable(const ScopedUnreadable&) = delete;
  ScopedUnreadable& operator=(const ScopedUnreadable&) = delete;
  bool active() const { return active_; }

 private:
  std::string path_;
  bool active_ = false;
  intptr_t handle_ = -1;
};

// The path of `relative` (such as "jpeg/baseline_64x48.jpg") among the
// committed fixtures, each made by a script under scripts/.
std::string FixturePath(const std::string& relative);

// Deterministic pseudo-random bytes.
std::string RandomBytes(size_t length, uint32_t seed);

// Paths of all files (not folders) under `root`, relative to it, with "/"
// between folders on every system, sorted.
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
