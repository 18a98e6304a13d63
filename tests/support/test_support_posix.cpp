// The test helpers on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "tests/support/test_support.h"
#include "tests/support/test_support_system.h"

namespace testsupport {

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  return remove(path);
}

std::string TempTemplate() {
  const char* base = std::getenv("TMPDIR");
  return std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
         "/sorters-test-XXXXXX";
}

std::string CurrentDirectory() {
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer) == nullptr) {
    throw std::runtime_error("getcwd");
  }
  return buffer;
}

}  // namespace

namespace native {

void ReadFolder(const std::string& folder, std::vector<std::string>* files,
                std::vector<std::string>* folders) {
  std::vector<std::string> names;
  if (DIR* listing = opendir(folder.c_str())) {
    while (struct dirent* entry = readdir(listing)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(listing);
  }
  for (const std::string& name : names) {
    struct stat info;
    if (lstat((folder + "/" + name).c_str(), &info) != 0) continue;
    (S_ISDIR(info.st_mode) ? folders : files)->push_back(name);
  }
}

const char* TextLineEnd() { return "\n"; }

}  // namespace native

ScopedTempDir::ScopedTempDir() {
  std::string pattern = TempTemplate();
  if (mkdtemp(&pattern[0]) == nullptr) throw std::runtime_error("mkdtemp");
  path_ = pattern;
}

ScopedTempDir::~ScopedTempDir() {
  nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::string& path)
    : previous_(CurrentDirectory()) {
  if (chdir(path.c_str()) != 0) throw std::runtime_error("chdir " + path);
}

ScopedCurrentDirectory::~ScopedCurrentDirectory() {
  if (chdir(previous_.c_str()) != 0) std::abort();  // later tests would lie
}

char PathSeparator() { return '/'; }

std::string WorkingDirectoryView(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return path + "/";
  return std::string(resolved) + "/";
}

bool WalkOrderIsFixed() { return true; }

bool PathExists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

void MakeFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0777) != 0) {
    throw std::runtime_error("cannot create " + path);
  }
}

void MakeDanglingLinkWhereSupported(const std::string& path) {
  if (symlink("missing-target", path.c_str()) != 0) {
    throw std::runtime_error("cannot link " + path);
  }
}

bool MakeSparseFile(const std::string& path, uint64_t size) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0600);
  if (fd < 0) throw std::runtime_error("cannot create " + path);
  int sized = ftruncate(fd, static_cast<off_t>(size));
  close(fd);
  return sized == 0;
}

ScopedUnreadable::ScopedUnreadable(const std::string& path) : path_(path) {
  if (geteuid() == 0) return;  // permissions do not stop root
  if (chmod(path.c_str(), 0) != 0) throw std::runtime_error("chmod " + path);
  active_ = true;
}

ScopedUnreadable::~ScopedUnreadable() {
  if (active_) chmod(path_.c_str(), 0600);
}

ProgramResult RunProgram(const std::string& program,
                         const std::vector<std::string>& args,
                         const std::string& workingDir) {
  ScopedTempDir capture;
  std::string outPath = capture.Join("stdout");
  std::string errPath = capture.Join("stderr");
  std::fflush(nullptr);
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork");
  if (child == 0) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        chdir(workingDir.c_str()) != 0) {
      _exit(127);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) {
      argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int wait = 0;
  if (waitpid(child, &wait, 0) != child) throw std::runtime_error("waitpid");
  ProgramResult result;
  result.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
  result.out = ReadFile(outPath);
  result.err = ReadFile(errPath);
  return result;
}

}  // namespace testsupport
