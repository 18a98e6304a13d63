#include "fuzz/fuzz_support.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

std::string g_scratch;

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  return remove(path);
}

void RemoveScratch() {
  if (!g_scratch.empty()) RemoveTree(g_scratch);
}

// /dev/shm keeps the per-input files off the disk when it is there.
std::string ScratchBase() {
  if (access("/dev/shm", W_OK | X_OK) == 0) return "/dev/shm";
  const char* base = std::getenv("TMPDIR");
  return base != nullptr && *base != '\0' ? base : "/tmp";
}

}  // namespace

void SilenceStandardOutput() {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) {
    FuzzCheckFailed("cannot silence standard output");
  }
}

const std::string& FuzzScratchDir() {
  if (g_scratch.empty()) {
    std::string pattern = ScratchBase() + "/sorters-fuzz-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
      FuzzCheckFailed("cannot make a scratch folder");
    }
    g_scratch = pattern;
    std::atexit(RemoveScratch);
  }
  return g_scratch;
}

int WriteWholeFile(const std::string& path, const uint8_t* data,
                   size_t size) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return 0;
  size_t done = 0;
  while (done < size) {
    ssize_t written = write(fd, data + done, size - done);
    if (written <= 0) break;
    done += static_cast<size_t>(written);
  }
  return close(fd) == 0 && done == size ? 1 : 0;
}

int RemoveTree(const std::string& path) {
  nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
  struct stat info;
  return lstat(path.c_str(), &info) != 0 ? 1 : 0;
}

void FuzzCheckFailed(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}
