// The test helpers that differ on POSIX systems.
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/support.h"

namespace {

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

std::string ShellCommand(const std::string& program, const std::vector<std::string>& args,
                         const fs::path& folder, const fs::path& out, const fs::path& err) {
  std::string command = "cd " + Quoted(folder.string()) + " && exec " SORTERS_LAUNCHER " " + Quoted(program);
  for (const std::string& arg : args) command += " " + Quoted(arg);
  return command + " </dev/null >" + Quoted(out.string()) + " 2>" + Quoted(err.string());
}

std::shared_ptr<void> LockAgainstReading(const fs::path& path) {
  if (geteuid() == 0) return nullptr;
  fs::permissions(path, fs::perms::none);
  return std::shared_ptr<void>(new fs::path(path), [](void* locked) {
    fs::permissions(*static_cast<fs::path*>(locked), fs::perms::owner_read | fs::perms::owner_write);
    delete static_cast<fs::path*>(locked);
  });
}

bool MakeFifo(const fs::path& path) { return mkfifo(path.c_str(), 0600) == 0; }
