// The test helpers that differ on Windows.
#include <windows.h>

#include "tests/support/support.h"

namespace {

// For the C runtime of the started program, which undoes the backslashes
// only before a quote; the tests' arguments never end in a backslash.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
  return quoted + "\"";
}

}  // namespace

std::string ShellCommand(const std::string& program, const std::vector<std::string>& args,
                         const fs::path& folder, const fs::path& out, const fs::path& err) {
  std::string command = "cd /d " + Quoted(folder.u8string()) + " && " + Quoted(program);
  for (const std::string& arg : args) command += " " + Quoted(arg);
  command += " <NUL >" + Quoted(out.string()) + " 2>" + Quoted(err.string());
  // cmd.exe drops the first and the last quote of the whole line.
  return "\"" + command + "\"";
}

std::shared_ptr<void> LockAgainstReading(const fs::path& path) {
  // Held open without sharing, the file cannot be opened by anyone else.
  HANDLE file = CreateFileA(path.string().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return std::shared_ptr<void>(file, [](void* handle) { CloseHandle(handle); });
}

bool MakeFifo(const fs::path&) { return false; }
