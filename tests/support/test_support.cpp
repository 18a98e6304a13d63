#include "tests/support/test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

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

void CollectFiles(const std::string& root, const std::string& relative,
                  std::vector<std::string>* out) {
  std::string folder = relative.empty() ? root : root + "/" + relative;
  std::vector<std::string> names;
  if (DIR* listing = opendir(folder.c_str())) {
    while (struct dirent* entry = readdir(listing)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(listing);
  }
  for (const std::string& name : names) {
    std::string child = relative.empty() ? name : relative + "/" + name;
    struct stat info;
    if (lstat((root + "/" + child).c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode)) CollectFiles(root, child, out);
    else out->push_back(child);
  }
}

}  // namespace

ScopedTempDir::ScopedTempDir() {
  std::string pattern = TempTemplate();
  if (mkdtemp(&pattern[0]) == nullptr) throw std::runtime_error("mkdtemp");
  path_ = pattern;
}

ScopedTempDir::~ScopedTempDir() {
  nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::string ScopedTempDir::Join(const std::string& name) const {
  return path_ + "/" + name;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool PathExists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

void MakeFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0777) != 0) {
    throw std::runtime_error("cannot create " + path);
  }
}

std::string RandomBytes(size_t length, uint32_t seed) {
  std::mt19937 generator(seed);
  std::string bytes(length, '\0');
  for (char& c : bytes) c = static_cast<char>(generator() & 0xFF);
  return bytes;
}

std::vector<std::string> ListFiles(const std::string& root) {
  std::vector<std::string> files;
  CollectFiles(root, "", &files);
  std::sort(files.begin(), files.end());
  return files;
}

std::multiset<std::string> SnapshotContents(const std::string& root) {
  std::multiset<std::string> contents;
  for (const std::string& file : ListFiles(root)) {
    contents.insert(ReadFile(root + "/" + file));
  }
  return contents;
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

uint32_t ReferenceCrc(const std::string& bytes) {
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()),
              static_cast<uInt>(bytes.size()));
  return static_cast<uint32_t>(crc);
}

std::string Hex8(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

}  // namespace testsupport
