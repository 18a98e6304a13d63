#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string g_scratch;

void RemoveScratch() { RemoveTree(g_scratch); }

}  // namespace

void SilenceStandardOutput() {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) {
    FuzzCheckFailed("cannot silence standard output");
  }
}

const std::string& FuzzScratchDir() {
  if (g_scratch.empty()) {
    // /dev/shm keeps the per-input files off the disk where it exists.
    std::error_code none;
    fs::path base = access("/dev/shm", W_OK | X_OK) == 0 ? fs::path("/dev/shm")
                                                          : fs::temp_directory_path(none);
    g_scratch = (base / ("sorters-fuzz-" + std::to_string(getpid()))).string();
    if (!fs::create_directories(g_scratch, none)) FuzzCheckFailed("no scratch folder");
    std::atexit(RemoveScratch);
  }
  return g_scratch;
}

int WriteWholeFile(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return out.good() ? 1 : 0;
}

void RemoveTree(const std::string& path) {
  std::error_code ignored;
  fs::remove_all(path, ignored);
}

void FuzzCheckFailed(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}
