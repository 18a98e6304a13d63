// POSIX implementation of the platform interface.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#if SORTERS_HAVE_SYSMACROS
#include <sys/sysmacros.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/platform.h"
#include "core/platform_posix.h"
#include "core/text.h"
#include "core/wildcard.h"

void PlatformPrepareProcess() { signal(SIGPIPE, SIG_IGN); }

char PlatformSeparator() { return '/'; }

const char* PlatformPathCharacters() { return "/\\"; }

int PlatformNamesAreUtf8() { return 1; }

// Names are bytes here, used as the catalog spells them.
std::string PlatformNameFromCatalogBytes(const std::string& bytes) { return bytes; }

int PlatformNameFromUtf8(const std::string& utf8, std::string* name) {
  *name = utf8;
  return 1;
}

std::string PlatformErrorText() { return std::strerror(errno); }

size_t PlatformMaxPathLength() { return PATH_MAX - 1; }

namespace {

// The current directory as the run read it: its path with the separator,
// and an open handle on it (or -1).
std::string g_currentPrefix;
int g_currentFolder = -1;

// Whether `rest`, taken relative to a folder, stays inside it: it is not
// absolute and no component of it climbs with "..".
bool StaysInside(const char* rest) {
  if (rest[0] == '/' || rest[0] == '\0') return false;
  for (const char* part = rest; part != nullptr;) {
    if (part[0] == '.' && part[1] == '.' && (part[2] == '/' || part[2] == '\0')) {
      return false;
    }
    part = std::strchr(part, '/');
    if (part != nullptr) ++part;
  }
  return true;
}

}  // namespace

// Paths inside the current directory go to the kernel relative to the
// handle on it: the kernel walks every component of an absolute path, and
// for small files that walk costs more than reading them. The handle names
// the same folder as the path did when it was read, whatever the process
// does later. Any other path goes to the kernel whole, as it is.
Located Locate(const char* path) {
  size_t length = g_currentPrefix.size();
  if (g_currentFolder >= 0 &&
      std::strncmp(path, g_currentPrefix.c_str(), length) == 0 &&
      StaysInside(path + length)) {
    return Located{g_currentFolder, path + length};
  }
  return Located{AT_FDCWD, path};
}

Located Locate(const std::string& path) { return Locate(path.c_str()); }

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
// Each name is folded once, so that sorting a large folder compares plain
// bytes.
void SortInWalkOrder(std::vector<std::string>* names) {
  std::vector<std::pair<std::string, std::string>> keyed;
  keyed.reserve(names->size());
  for (std::string& name : *names) {
    std::string folded = name;
    for (char& c : folded) c = static_cast<char>(AsciiUpper(static_cast<unsigned char>(c)));
    keyed.emplace_back(std::move(folded), std::move(name));
  }
  std::sort(keyed.begin(), keyed.end());
  for (size_t i = 0; i < keyed.size(); ++i) (*names)[i] = std::move(keyed[i].second);
}

// The listing's own type spares a stat per file where the system reports
// one; links (followed) and file systems that report none need the stat.
bool IsRegularFile(int folder, const struct dirent* entry) {
#if SORTERS_HAVE_DIRENT_TYPE
  if (entry->d_type == DT_REG) return true;
  if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) return false;
#endif
  struct stat info;
  return fstatat(folder, entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
}

// Adds the names in `listing` that match `pattern` and are regular files
// (after following links), not beginning with ".". Returns 0, or the
// error that ended the listing early.
int ReadMatchingNames(DIR* listing, const std::string& pattern,
                      std::vector<std::string>* names) {
  for (;;) {
    errno = 0;
    struct dirent* entry = readdir(listing);
    if (entry == nullptr) return errno;
    const char* name = entry->d_name;
    if (name[0] == '.' || !WildcardMatches(pattern.c_str(), name, true)) {
      continue;
    }
    // Pipes, devices and dangling links are passed over: opening a pipe
    // would hang the run, and none of them holds a file to identify.
    if (IsRegularFile(dirfd(listing), entry)) names->push_back(name);
  }
}

}  // namespace

int PlatformListDirectory(const std::string& pathPattern,
                          std::vector<std::string>* names) {
  names->clear();
  size_t cut = pathPattern.rfind('/');
  std::string folder =
      cut == std::string::npos ? "." : pathPattern.substr(0, cut + 1);
  std::string pattern =
      cut == std::string::npos ? pathPattern : pathPattern.substr(cut + 1);
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) return 0;
  int failure = ReadMatchingNames(listing, pattern, names);
  closedir(listing);
  SortInWalkOrder(names);
  errno = failure;
  return failure == 0 ? 1 : 0;
}

int PlatformExists(const std::string& path) {
  Located at = Locate(path);
  struct stat info;
  return fstatat(at.folder, at.path, &info, AT_SYMLINK_NOFOLLOW) == 0 ? 1 : 0;
}

int PlatformOnRotationalDisk(const std::string& folder) {
#if SORTERS_HAVE_SYSMACROS
  struct stat info;
  if (stat(folder.c_str(), &info) != 0) return 0;
  // Linux shows each block device, and each partition one level below its
  // disk, by its numbers; the disk says whether it rotates.
  std::string device = "/sys/dev/block/" + std::to_string(major(info.st_dev)) +
                       ":" + std::to_string(minor(info.st_dev));
  // A virtual machine's virtio disk says it rotates unless its host says
  // otherwise; what it stands on is usually storage that gains from
  // several reads at once, as the benchmark's cold runs show here.
  char target[PATH_MAX];
  ssize_t length = readlink(device.c_str(), target, sizeof target - 1);
  if (length > 0 && std::string(target, static_cast<size_t>(length)).find("/virtio") !=
                        std::string::npos) {
    return 0;
  }
  for (const char* queue : {"/queue/rotational", "/../queue/rotational"}) {
    std::FILE* flag = std::fopen((device + queue).c_str(), "r");
    if (flag == nullptr) continue;
    int rotates = std::fgetc(flag) == '1';
    std::fclose(flag);
    return rotates;
  }
#else
  static_cast<void>(folder);
#endif
  return 0;
}

int PlatformStderrIsTerminal() { return isatty(2) ? 1 : 0; }
int PlatformStdoutIsTerminal() { return isatty(1) ? 1 : 0; }

size_t PlatformTerminalWidth() {
  struct winsize size;
  return ioctl(2, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

uint64_t PlatformFileSize(const std::string& path) {
  Located at = Locate(path);
  struct stat info;
  return fstatat(at.folder, at.path, &info, 0) == 0 && info.st_size > 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

uint64_t PlatformPhysicalMemory() {
  long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGESIZE);
  return pages > 0 && size > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(size) : 0;
}

int PlatformFreeDescriptors() {
  const int kMany = 1 << 20;
  struct rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
      limit.rlim_cur > 4096) {
    return kMany;
  }
  int open = 0;
  for (int fd = 0; fd < static_cast<int>(limit.rlim_cur); ++fd) open += fcntl(fd, F_GETFD) != -1;
  return static_cast<int>(limit.rlim_cur) - open;
}

int PlatformOpenFailedForLackOfResources() {
  return errno == EMFILE || errno == ENFILE || errno == ENOMEM;
}

int PlatformIsFolder(const std::string& path) {
  Located at = Locate(path);
  struct stat info;
  return fstatat(at.folder, at.path, &info, 0) == 0 && S_ISDIR(info.st_mode);
}

int PlatformCreateFolder(const std::string& path) {
  Located at = Locate(path);
  return mkdirat(at.folder, at.path, 0777) == 0 ? 1 : 0;
}

PlatformFile PlatformOpenFile(const char* path, uint64_t* size, FileIdentity* identity) {
  // O_NONBLOCK keeps a pipe that replaced the file from blocking the open;
  // it is then refused because it is not a regular file. On a regular file
  // the flag changes nothing.
  Located at = Locate(path);
  int fd = openat(at.folder, at.path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return kNoFile;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
    close(fd);
    errno = EINVAL;  // no regular file
    return kNoFile;
  }
  *size = static_cast<uint64_t>(info.st_size);
  if (identity != nullptr) {
    *identity = FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
  }
  return fd;
}

int PlatformIdentity(const std::string& path, FileIdentity* identity) {
  Located at = Locate(path);
  struct stat info;
  if (fstatat(at.folder, at.path, &info, 0) != 0) return 0;
  *identity = FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
  return 1;
}

int PlatformCanMoveInto(const std::string& from, const std::string& folder) {
  Located source = Locate(from), into = Locate(folder);
  struct stat file, place;
  if (fstatat(source.folder, source.path, &file, AT_SYMLINK_NOFOLLOW) != 0 ||
      fstatat(into.folder, into.path, &place, 0) != 0) {
    return 0;
  }
  // A rename never crosses file systems.
  return file.st_dev == place.st_dev && faccessat(into.folder, into.path, W_OK | X_OK, AT_EACCESS) == 0;
}

size_t PlatformMaxNameLength() { return NAME_MAX; }

int PlatformFoldsCase(const std::string& folder) {
  // Asked of the folder's own name with its letters' case changed, or of
  // the nearest folder above it whose name has letters.
  std::string path = folder;
  while (!path.empty() && path.back() == '/') path.pop_back();
  for (size_t slash; !path.empty(); path.resize(slash)) {
    slash = path.rfind('/');
    slash = slash == std::string::npos ? 0 : slash;
    std::string swapped = path;
    bool letters = false;
    for (size_t i = slash; i < swapped.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(swapped[i]);
      unsigned char other = AsciiLower(c) != c ? AsciiLower(c) : AsciiUpper(c);
      letters = letters || other != c;
      swapped[i] = static_cast<char>(other);
    }
    if (!letters) continue;
    FileIdentity one, two;
    return PlatformIdentity(path, &one) && PlatformIdentity(swapped, &two) && one == two;
  }
  return 0;
}

int PlatformReadAt(PlatformFile file, uint64_t offset, unsigned char* into, size_t count,
                   size_t* got) {
  *got = 0;
  while (count > 0) {
    ssize_t part = pread(static_cast<int>(file), into, count, static_cast<off_t>(offset));
    if (part < 0 && errno == EINTR) continue;
    if (part < 0) return 0;
    if (part == 0) break;  // the end of the file
    *got += static_cast<size_t>(part);
    offset += static_cast<uint64_t>(part);
    into += part;
    count -= static_cast<size_t>(part);
  }
  return 1;
}

void PlatformCloseFile(PlatformFile file) { close(static_cast<int>(file)); }

int PlatformTextModeTranslates() { return 0; }

int PlatformNameIsReserved(const char* /*name*/) { return 0; }
