// POSIX implementation of the platform interface.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/platform.h"
#include "core/text.h"
#include "core/wildcard.h"

char PlatformSeparator() { return '/'; }

size_t PlatformMaxPathLength() { return PATH_MAX - 1; }

int PlatformCurrentDirectory(std::string* out) {
  out->clear();
  std::vector<char> buffer(PATH_MAX + 1);
  if (getcwd(buffer.data(), buffer.size()) == nullptr) return 0;
  out->assign(buffer.data());
  return 1;
}

namespace {

// The walk order: names compared byte by byte with ASCII letters folded to
// upper case, ties broken by the raw bytes, so that every run over the
// same folder visits the files in the same order.
bool NameComesBefore(const std::string& a, const std::string& b) {
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    unsigned char x = AsciiUpper(static_cast<unsigned char>(a[i]));
    unsigned char y = AsciiUpper(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

// The listing's own type spares a stat per file; links (followed) and file
// systems that do not report types need the stat.
bool IsRegularFile(int folder, const struct dirent* entry) {
  if (entry->d_type == DT_REG) return true;
  if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) return false;
  struct stat info;
  return fstatat(folder, entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

size_t PlatformListDirectory(const std::string& pathPattern,
                             std::vector<std::string>* names) {
  names->clear();
  size_t cut = pathPattern.rfind('/');
  std::string folder =
      cut == std::string::npos ? "." : pathPattern.substr(0, cut + 1);
  std::string pattern =
      cut == std::string::npos ? pathPattern : pathPattern.substr(cut + 1);
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) return 0;
  while (struct dirent* entry = readdir(listing)) {
    const char* name = entry->d_name;
    if (name[0] == '.') continue;
    if (!WildcardMatches(pattern.c_str(), name)) continue;
    // Pipes, devices and dangling links are passed over: opening a pipe
    // would hang the run, and none of them holds a file to identify.
    if (!IsRegularFile(dirfd(listing), entry)) continue;
    names->push_back(name);
  }
  closedir(listing);
  std::sort(names->begin(), names->end(), NameComesBefore);
  return names->size();
}

int PlatformExists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 ? 1 : 0;
}

int PlatformCreateFolder(const std::string& path) {
  return mkdir(path.c_str(), 0777) == 0 ? 1 : 0;
}

namespace {

// For file systems without hard links: reserve the target name with an
// exclusive create, then rename over our own empty placeholder.
int MoveOntoPlaceholder(const char* from, const char* to) {
  int placeholder = open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (placeholder < 0) return 0;
  close(placeholder);
  if (rename(from, to) == 0) return 1;
  unlink(to);
  return 0;
}

// For file systems that refuse the no-replace flag: a hard link fails when
// the target exists, and only once it stands is the old name removed.
int MoveByLink(const char* from, const char* to) {
  if (link(from, to) != 0) {
    if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS) {
      return MoveOntoPlaceholder(from, to);
    }
    return 0;
  }
  if (unlink(from) == 0) return 1;
  unlink(to);  // keep exactly one name for the file
  return 0;
}

}  // namespace

int PlatformMoveFile(const std::string& from, const std::string& to) {
  // rename() alone would silently replace an existing target.
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(),
                RENAME_NOREPLACE) == 0) {
    return 1;
  }
  if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
    return MoveByLink(from.c_str(), to.c_str());
  }
  return 0;
}

PlatformFile PlatformOpenFile(const char* path, uint64_t* size) {
  // O_NONBLOCK keeps a pipe that replaced the file from blocking the open;
  // it is then refused because it is not a regular file. On a regular file
  // the flag changes nothing.
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return kNoFile;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
    close(fd);
    return kNoFile;
  }
  *size = static_cast<uint64_t>(info.st_size);
  return fd;
}

int PlatformReadExactly(PlatformFile file, unsigned char* into, size_t count) {
  while (count > 0) {
    ssize_t got = read(static_cast<int>(file), into, count);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return 0;
    into += got;
    count -= static_cast<size_t>(got);
  }
  return 1;
}

void PlatformCloseFile(PlatformFile file) { close(static_cast<int>(file)); }

std::FILE* PlatformOpenForReading(const char* path, bool /*textMode*/) {
  // O_NONBLOCK keeps a pipe that replaced the file from blocking the open;
  // such a thing is then refused because it is not a regular file.
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags != -1) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::FILE* stream = fdopen(fd, "rb");
  if (stream == nullptr) close(fd);
  return stream;
}

int PlatformFileSize(std::FILE* file, uint64_t* size) {
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || info.st_size < 0) return 0;
  *size = static_cast<uint64_t>(info.st_size);
  return 1;
}

int PlatformNameIsReserved(const char* /*name*/) { return 0; }
