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

namespace {

// The current directory as the run read it: its path with the separator,
// and an open handle on it (or -1).
std::string g_currentPrefix;
int g_currentFolder = -1;

// A path as the kernel gets it: relative to a folder handle, or AT_FDCWD.
struct Located {
  int folder;
  const char* path;
};

// Paths inside the current directory go to the kernel relative to the
// handle on it: the kernel walks every component of an absolute path, and
// for small files that walk costs more than reading them. The handle names
// the same folder as the path did when it was read, whatever the process
// does later.
Located Locate(const char* path) {
  size_t length = g_currentPrefix.size();
  if (g_currentFolder >= 0 &&
      std::strncmp(path, g_currentPrefix.c_str(), length) == 0 &&
      path[length] != '\0') {
    return Located{g_currentFolder, path + length};
  }
  return Located{AT_FDCWD, path};
}

Located Locate(const std::string& path) { return Locate(path.c_str()); }

}  // namespace

int PlatformCurrentDirectory(std::string* out) {
  out->clear();
  g_currentPrefix.clear();
  if (g_currentFolder >= 0) close(g_currentFolder);
  g_currentFolder = -1;
  std::vector<char> buffer(PATH_MAX + 1);
  if (getcwd(buffer.data(), buffer.size()) == nullptr) return 0;
  out->assign(buffer.data());
  // Without the handle every path simply stays absolute.
  g_currentFolder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (g_currentFolder >= 0) {
    g_currentPrefix = *out;
    if (g_currentPrefix.back() != '/') g_currentPrefix.push_back('/');
  }
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
  Located at = Locate(path);
  struct stat info;
  return fstatat(at.folder, at.path, &info, AT_SYMLINK_NOFOLLOW) == 0 ? 1 : 0;
}

int PlatformCreateFolder(const std::string& path) {
  Located at = Locate(path);
  return mkdirat(at.folder, at.path, 0777) == 0 ? 1 : 0;
}

namespace {

// For file systems without hard links: reserve the target name with an
// exclusive create, then rename over our own empty placeholder.
int MoveOntoPlaceholder(Located from, Located to) {
  int placeholder = openat(to.folder, to.path,
                           O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (placeholder < 0) return 0;
  close(placeholder);
  if (renameat(from.folder, from.path, to.folder, to.path) == 0) return 1;
  unlinkat(to.folder, to.path, 0);
  return 0;
}

// For file systems that refuse the no-replace flag: a hard link fails when
// the target exists, and only once it stands is the old name removed.
int MoveByLink(Located from, Located to) {
  if (linkat(from.folder, from.path, to.folder, to.path, 0) != 0) {
    if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS) {
      return MoveOntoPlaceholder(from, to);
    }
    return 0;
  }
  if (unlinkat(from.folder, from.path, 0) == 0) return 1;
  unlinkat(to.folder, to.path, 0);  // keep exactly one name for the file
  return 0;
}

}  // namespace

int PlatformMoveFile(const std::string& from, const std::string& to) {
  Located source = Locate(from);
  Located target = Locate(to);
  // rename() alone would silently replace an existing target.
  if (renameat2(source.folder, source.path, target.folder, target.path,
                RENAME_NOREPLACE) == 0) {
    return 1;
  }
  if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
    return MoveByLink(source, target);
  }
  return 0;
}

PlatformFile PlatformOpenFile(const char* path, uint64_t* size) {
  // O_NONBLOCK keeps a pipe that replaced the file from blocking the open;
  // it is then refused because it is not a regular file. On a regular file
  // the flag changes nothing.
  Located at = Locate(path);
  int fd = openat(at.folder, at.path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
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
  Located at = Locate(path);
  int fd = openat(at.folder, at.path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
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
