// The test helpers on Windows: the Win32 calls for folders, files and
// processes.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "tests/support/test_support.h"
#include "tests/support/test_support_system.h"

namespace testsupport {

namespace {

std::string CurrentDirectory() {
  char buffer[MAX_PATH + 1];
  DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
  if (length == 0 || length > MAX_PATH) {
    throw std::runtime_error("GetCurrentDirectoryA");
  }
  return std::string(buffer, length);
}

// The temporary folder in its long form: Windows may hand out the 8.3
// short name, which the tools would then print.
std::string TempBase() {
  char shortForm[MAX_PATH + 1];
  DWORD length = GetTempPathA(sizeof shortForm, shortForm);
  if (length == 0 || length > MAX_PATH)
    throw std::runtime_error("GetTempPathA");
  char longForm[MAX_PATH + 1];
  length = GetLongPathNameA(shortForm, longForm, sizeof longForm);
  std::string base = length == 0 || length > MAX_PATH ? shortForm : longForm;
  if (!base.empty() && base.back() == '\\') base.pop_back();
  return base;
}

bool IsRealFolder(const WIN32_FIND_DATAA& found) {
  // A folder link is removed as a link, never followed.
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsDotEntry(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

void RemoveTree(const std::string& folder) {
  std::vector<std::string> files, folders;
  native::ReadFolder(folder, &files, &folders);
  for (const std::string& name : folders) RemoveTree(folder + "\\" + name);
  for (const std::string& name : files) {
    std::string child = folder + "\\" + name;
    SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(child.c_str());
  }
  RemoveDirectoryA(folder.c_str());
}

// Quotes one argument so that the C runtime of the started program splits
// it back out unchanged: backslashes count only before a quote.
std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() &&
      argument.find_first_of(" \t\"") == std::string::npos) {
    return argument;
  }
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(2 * backslashes, '\\');
  quoted.push_back('"');
  return quoted;
}

// A handle that the started program inherits, closed when it goes out of
// scope: writing to `path`, or for "NUL" reading nothing.
struct InheritedHandle {
  InheritedHandle(const std::string& path, bool forWriting) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    handle =
        CreateFileA(path.c_str(), forWriting ? GENERIC_WRITE : GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                    forWriting ? CREATE_ALWAYS : OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
      throw std::runtime_error("open " + path);
  }
  ~InheritedHandle() { CloseHandle(handle); }
  InheritedHandle(const InheritedHandle&) = delete;
  InheritedHandle& operator=(const InheritedHandle&) = delete;

  HANDLE handle;
};

// Starts the command line in `workingDir` with the given standard handles
// and waits for its end. Returns the exit status.
int StartAndWait(std::string commandLine, const std::string& workingDir,
                 HANDLE input, HANDLE output, HANDLE error) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = error;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0,
                      nullptr, workingDir.c_str(), &startup, &process)) {
    throw std::runtime_error("CreateProcessA " + commandLine);
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  BOOL known = GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return known ? static_cast<int>(status) : -1;
}

}  // namespace

namespace native {

void ReadFolder(const std::string& folder, std::vector<std::string>* files,
                std::vector<std::string>* folders) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (IsDotEntry(found.cFileName)) continue;
    (IsRealFolder(found) ? folders : files)->push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

const char* TextLineEnd() { return "\r\n"; }

}  // namespace native

ScopedTempDir::ScopedTempDir() {
  static unsigned counter = 0;
  std::string base = TempBase() + "\\sorters-test-" +
                     std::to_string(GetCurrentProcessId()) + "-";
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string candidate = base + std::to_string(++counter);
    if (CreateDirectoryA(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  throw std::runtime_error("cannot create a temporary folder under " + base);
}

ScopedTempDir::~ScopedTempDir() { RemoveTree(path_); }

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::string& path)
    : previous_(CurrentDirectory()) {
  if (!SetCurrentDirectoryA(path.c_str())) {
    throw std::runtime_error("SetCurrentDirectoryA " + path);
  }
}

ScopedCurrentDirectory::~ScopedCurrentDirectory() {
  if (!SetCurrentDirectoryA(previous_.c_str())) std::abort();
}

char PathSeparator() { return '\\'; }

std::string WorkingDirectoryView(const std::string& path) {
  ScopedCurrentDirectory inside(path);
  return CurrentDirectory() + "\\";
}

bool WalkOrderIsFixed() { return false; }

bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeFolder(const std::string& path) {
  if (!CreateDirectoryA(path.c_str(), nullptr)) {
    throw std::runtime_error("cannot create " + path);
  }
}

void MakeDanglingLinkWhereSupported(const std::string&) {
  // Making a symbolic link on Windows takes a privilege that tests do not
  // have; the listing is then tested without one.
}

bool MakeSparseFile(const std::string& path, uint64_t size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("create " + path);
  DWORD unused = 0;
  // Without the sparse mark NTFS would take room for all the zeros.
  DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused,
                  nullptr);
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  bool sized =
      SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  return sized;
}

ScopedUnreadable::ScopedUnreadable(const std::string& path) : path_(path) {
  // Held open without sharing, the file cannot be opened by anyone else.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("lock " + path);
  handle_ = reinterpret_cast<intptr_t>(file);
  active_ = true;
}

ScopedUnreadable::~ScopedUnreadable() {
  if (active_) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

ProgramResult RunProgram(const std::string& program,
                         const std::vector<std::string>& args,
                         const std::string& workingDir) {
  ScopedTempDir capture;
  std::string outPath = capture.Join("stdout");
  std::string errPath = capture.Join("stderr");
  std::string commandLine = QuoteArgument(program);
  for (const std::string& arg : args) commandLine += " " + QuoteArgument(arg);
  std::fflush(nullptr);
  ProgramResult result;
  {
    InheritedHandle input("NUL", false);
    InheritedHandle output(outPath, true);
    InheritedHandle error(errPath, true);
    result.status = StartAndWait(commandLine, workingDir, input.handle,
                                 output.handle, error.handle);
  }
  result.out = ReadFile(outPath);
  result.err = ReadFile(errPath);
  return result;
}

}  // namespace testsupport
