// Moving files on POSIX systems without ever replacing one, and without
// ever removing a name whose file was not first taken and checked: a
// neighbour that swaps another file into a name while it is being moved
// gets that file back, never loses it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/platform.h"
#include "core/platform_posix.h"

namespace {

// Errors that mean the file system has no such call, not that it failed.
bool HasNoNoReplaceMove(int error) { return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP; }
bool HasNoHardLinks(int error) { return error == EPERM || error == EOPNOTSUPP || error == ENOSYS; }

// Removes `made` again, keeping the error that made the move fail.
void UndoWithoutLosingTheError(Located made) {
  int failure = errno;
  unlinkat(made.folder, made.path, 0);
  errno = failure;
}

// The system's own move that fails when the target exists. Returns 1 on
// success; 0 with errno EINVAL, ENOSYS or EOPNOTSUPP when this system or
// file system has none; 0 otherwise.
int RenameWithoutReplacing(Located from, Located to) {
#if SORTERS_HAVE_RENAMEAT2
  return renameat2(from.folder, from.path, to.folder, to.path, RENAME_NOREPLACE) == 0;
#elif SORTERS_HAVE_RENAMEATX_NP
  return renameatx_np(from.folder, from.path, to.folder, to.path, RENAME_EXCL) == 0;
#else
  static_cast<void>(from);
  static_cast<void>(to);
  errno = ENOSYS;
  return 0;
#endif
}

// Renames `from` onto `to` after making `to` an empty file of our own
// with an exclusive create: the rename then replaces only that. Returns 1;
// 0 with nothing changed.
int RenameOntoPlaceholder(Located from, Located to) {
  int placeholder = openat(to.folder, to.path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (placeholder < 0) return 0;
  close(placeholder);
  if (renameat(from.folder, from.path, to.folder, to.path) == 0) return 1;
  UndoWithoutLosingTheError(to);
  return 0;
}

// Moves what `from` holds at this instant to `to`, never replacing a file
// there, by `method`. With kMoveByLink it makes a hard link and removes
// `from`: only ever used where `from` is a name of the move's own, whose
// file was checked. Returns 1; 0 with nothing changed.
int GiveName(Located from, Located to, int method) {
  if (method == kMoveBest) {
    if (RenameWithoutReplacing(from, to)) return 1;
    if (!HasNoNoReplaceMove(errno)) return 0;
    method = kMoveByLink;
  }
  if (method == kMoveByLink) {
    if (linkat(from.folder, from.path, to.folder, to.path, 0) == 0) {
      unlinkat(from.folder, from.path, 0);
      return 1;
    }
    if (!HasNoHardLinks(errno)) return 0;
  }
  return RenameOntoPlaceholder(from, to);
}

// Takes what `from` holds at this instant under `taken`, a new name of the
// move's own, in one rename that replaces nothing of anyone's. Returns 1;
// 0 with nothing changed.
int Take(Located from, Located taken, int method) {
  if (method == kMoveBest) {
    if (RenameWithoutReplacing(from, taken)) return 1;
    if (!HasNoNoReplaceMove(errno)) return 0;
  }
  return RenameOntoPlaceholder(from, taken);
}

// A name of the move's own beside `to`: hidden, so that no walk lists it.
std::string TakenName(const std::string& to) {
  static std::atomic<unsigned> next{0};
  size_t slash = to.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : to.substr(0, slash + 1);
  return folder + ".taken-" + std::to_string(getpid()) + "-" + std::to_string(next++);
}

// Whether the file at `at` (following links) is `expected`, when known.
bool Is(Located at, const FileIdentity& expected) {
  if (!expected.Known()) return true;
  struct stat info;
  return fstatat(at.folder, at.path, &info, 0) == 0 &&
         FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)} == expected;
}

// The text of the link `at`, or false when it is no symbolic link.
bool ReadLink(Located at, std::string* text) {
  char buffer[PATH_MAX];
  ssize_t length = readlinkat(at.folder, at.path, buffer, sizeof buffer);
  if (length <= 0 || length >= static_cast<ssize_t>(sizeof buffer)) return false;
  text->assign(buffer, static_cast<size_t>(length));
  return true;
}

// The file that another may have swapped in is given its name back and
// left: MOVE_CHANGED, with `*leftAs` set when even that name was taken.
int GiveBack(Located taken, const std::string& takenPath, Located from, std::string* leftAs) {
  if (!GiveName(taken, from, kMoveBest)) *leftAs = takenPath;
  return MOVE_CHANGED;
}

// A move that failed after its take: the file is given its name back,
// keeping the error that made the move fail. MOVE_FAILED; MOVE_CHANGED,
// with `*leftAs` set, when even that name was taken meanwhile.
int ReturnTaken(Located taken, const std::string& takenPath, Located from, std::string* leftAs) {
  int failure = errno;
  if (!GiveName(taken, from, kMoveBest)) *leftAs = takenPath;
  errno = failure;
  return leftAs->empty() ? MOVE_FAILED : MOVE_CHANGED;
}

// What the link text `text`, read at `from`, names, said from the folder
// of `to`: both folders as they really are, either may lie behind a link.
// False when it cannot be said.
bool RelinkedText(const std::string& from, const std::string& to, const std::string& text,
                  std::string* moved) {
  namespace fs = std::filesystem;
  std::error_code error;
  auto folderOf = [](const std::string& path) {
    fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? fs::path(".") : parent;
  };
  fs::path fromFolder = fs::canonical(folderOf(from), error);
  fs::path toFolder = error ? fs::path() : fs::canonical(folderOf(to), error);
  if (error) return false;
  fs::path relative = (fromFolder / text).lexically_normal().lexically_relative(toFolder);
  if (relative.empty()) return false;
  *moved = relative.string();
  return true;
}

// A link to a relative target is taken, checked to be the link read, and
// made anew at `to` with a text that names the same file from there; the
// taken one goes only once the new one resolves to that file.
int MoveRelativeLink(const std::string& from, const std::string& to, const std::string& text,
                     int method, std::string* leftAs) {
  std::string moved;
  FileIdentity named;
  if (!PlatformIdentity(from, &named) || !RelinkedText(from, to, text, &moved)) {
    errno = ENOENT;
    return MOVE_UNRESOLVED;
  }
  std::string takenPath = TakenName(to), now;
  Located source = Locate(from), taken = Locate(takenPath), target = Locate(to);
  if (!Take(source, taken, method)) return MOVE_FAILED;
  if (!ReadLink(taken, &now) || now != text) return GiveBack(taken, takenPath, source, leftAs);
  if (symlinkat(moved.c_str(), target.folder, target.path) != 0) {
    return ReturnTaken(taken, takenPath, source, leftAs);
  }
  FileIdentity reached;
  if (!PlatformIdentity(to, &reached) || !(reached == named)) {
    unlinkat(target.folder, target.path, 0);
    GiveBack(taken, takenPath, source, leftAs);
    return MOVE_UNRESOLVED;
  }
  unlinkat(taken.folder, taken.path, 0);
  return MOVE_DONE;
}

// Where the system's own move is refused (or a test asks for it): the file
// is taken under a name of the move's own, checked, and only then given
// its new name.
int MoveByTaking(Located source, const std::string& to, int method, const FileIdentity& expected,
                 std::string* leftAs) {
  std::string takenPath = TakenName(to);
  Located taken = Locate(takenPath);
  if (!Take(source, taken, method)) return MOVE_FAILED;
  if (!Is(taken, expected)) return GiveBack(taken, takenPath, source, leftAs);
  if (GiveName(taken, Locate(to), method)) return MOVE_DONE;
  return ReturnTaken(taken, takenPath, source, leftAs);
}

}  // namespace

int PlatformMoveFile(const std::string& from, const std::string& to, int method,
                     const FileIdentity& expected, std::string* leftAs) {
  leftAs->clear();
  Located source = Locate(from), target = Locate(to);
  std::string text;
  if (ReadLink(source, &text) && text[0] != '/') {
    return MoveRelativeLink(from, to, text, method, leftAs);
  }
  if (method == kMoveBest) {
    if (RenameWithoutReplacing(source, target)) {
      // One step: what it moved is checked after, and given back if it is
      // not the file that was read.
      return Is(target, expected) ? MOVE_DONE : GiveBack(target, to, source, leftAs);
    }
    if (!HasNoNoReplaceMove(errno)) return MOVE_FAILED;
    method = kMoveByLink;
  }
  return MoveByTaking(source, to, method, expected, leftAs);
}
