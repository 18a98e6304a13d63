#include "core/placement.h"

#include <cstdio>
#include <cstring>

#include "core/paths.h"
#include "core/platform.h"
#include "core/run.h"
#include "core/text.h"

namespace {

// The text from the last "." of the final component of `path`, or "".
std::string ExtensionOfLastComponent(const std::string& path) {
  size_t nameStart = path.rfind(PlatformSeparator());
  nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < nameStart) return std::string();
  return path.substr(dot);
}

// Tries the target itself, then, when `numbered`, the target with its last
// character replaced by "0" up to "9". Returns the first attempt's result;
// `moved` tells whether any attempt succeeded.
int MoveWithRetries(const std::string& source, std::string target,
                    bool numbered, bool* moved) {
  *moved = PlatformMoveFile(source, target) != 0;
  if (*moved) return 0;
  if (numbered && !target.empty()) {
    // The last character, not its last byte: a UTF-8 name stays valid.
    target.resize(LastCharacterStart(target, PlatformNamesAreUtf8() != 0) + 1);
    for (char digit = '0'; digit <= '9' && !*moved; ++digit) {
      target.back() = digit;
      *moved = PlatformMoveFile(source, target) != 0;
    }
  }
  return -1;
}

}  // namespace

int FileNameIsSafe(const std::string& name) {
  // ".", ".." and "" would also give hidden files that no walk finds.
  if (name.empty() || name == "." || name == "..") return 0;
  if (name.find_first_of(PlatformPathCharacters()) != std::string::npos) return 0;
  if (HasControlCharacter(name)) return 0;
  return PlatformNameIsReserved(name.c_str()) ? 0 : 1;
}

int EnsureFolder(const std::string& directory, const char* folderName,
                 std::string* failure) {
  std::string folder = directory + folderName;
  if (!PathFits(folder)) return 0;
  if (PlatformExists(folder) || PlatformCreateFolder(folder)) return 1;
  std::string reason = PlatformErrorText();
  // A creation that fails because another process made the folder first
  // has what it wanted: look again before giving up.
  if (PlatformExists(folder)) return 1;
  if (failure != nullptr) *failure = reason;
  return 0;
}

int PlaceFile(const std::string& sourcePath, const char* folderName,
              const char* newName, bool numbered, std::string* failure) {
  const char separator = PlatformSeparator();
  std::string target = sourcePath;
  size_t nameStart = sourcePath.rfind(separator);
  if (nameStart == std::string::npos) {
    target = std::string(".") + separator + sourcePath;
    nameStart = 2;
  } else {
    ++nameStart;
  }
  std::string oldName = target.substr(nameStart);
  if (folderName != nullptr) {
    target.resize(nameStart);
    if (!EnsureFolder(target, folderName, failure)) return -1;
    target.append(folderName).push_back(separator);
    target.append(newName != nullptr ? newName : oldName);
  } else if (newName != nullptr) {
    target.resize(nameStart);
    target.append(newName);
  }
  std::string extension = ExtensionOfLastComponent(sourcePath);
  if (ExtensionOfLastComponent(target) != extension) target.append(extension);
  if (!PathFits(target)) return -1;
  bool moved = false;
  int result = MoveWithRetries(sourcePath, target, numbered, &moved);
  if (!moved && failure != nullptr) *failure = PlatformErrorText();
  return result;
}

void PlaceCatalogMatch(const std::string& sourcePath, unsigned char* taken,
                       const std::string& name) {
  if (!FileNameIsSafe(name)) {
    std::fprintf(stderr, "Err: Refused unsafe catalog name \"%s\" for %s\n",
                 Printable(name).c_str(), Printable(sourcePath).c_str());
    return;
  }
  if (*taken == 0) {
    *taken = 1;
    const char* folder = KeptSystemName();
    if (PlaceFile(sourcePath, folder != nullptr ? folder : "ren",
                  name.c_str(), false) == 0) {
      return;
    }
  }
  std::string failure;
  PlaceFile(sourcePath, "dupes", name.c_str(), true, &failure);
  if (!failure.empty()) {
    std::fprintf(stderr, "\nErr: Unable to move %s: %s\n",
                 Printable(sourcePath).c_str(), failure.c_str());
  }
}
