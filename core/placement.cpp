#include "core/placement.h"

#include <cstdio>

#include "core/paths.h"
#include "core/platform.h"
#include "core/run.h"

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
// character replaced by "0" up to "9". Returns the first attempt's result.
int MoveWithRetries(const std::string& source, std::string target,
                    bool numbered) {
  if (PlatformMoveFile(source, target)) return 0;
  if (numbered && !target.empty()) {
    for (char digit = '0'; digit <= '9'; ++digit) {
      target.back() = digit;
      if (PlatformMoveFile(source, target)) break;
    }
  }
  return -1;
}

}  // namespace

int CatalogNameIsSafe(const std::string& name) {
  if (name.find('/') != std::string::npos) return 0;
  if (name.find('\\') != std::string::npos) return 0;
  return PlatformNameIsReserved(name.c_str()) ? 0 : 1;
}

int EnsureFolder(const std::string& directory, const char* folderName) {
  std::string folder = directory + folderName;
  if (!PathFits(folder)) return 0;
  // A creation that fails because another process made the folder first
  // has what it wanted: look again before giving up.
  return PlatformExists(folder) || PlatformCreateFolder(folder) ||
         PlatformExists(folder);
}

int PlaceFile(const std::string& sourcePath, const char* folderName,
              const char* newName, bool numbered) {
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
    if (!EnsureFolder(target, folderName)) return -1;
    target.append(folderName).push_back(separator);
    target.append(newName != nullptr ? newName : oldName);
  } else if (newName != nullptr) {
    target.resize(nameStart);
    target.append(newName);
  }
  std::string extension = ExtensionOfLastComponent(sourcePath);
  if (ExtensionOfLastComponent(target) != extension) target.append(extension);
  if (!PathFits(target)) return -1;
  return MoveWithRetries(sourcePath, target, numbered);
}

void PlaceCatalogMatch(const std::string& sourcePath, unsigned char* taken,
                       const std::string& name) {
  if (!CatalogNameIsSafe(name)) {
    std::fprintf(stderr, "Err: Refused unsafe catalog name \"%s\" for %s\n",
                 name.c_str(), sourcePath.c_str());
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
  PlaceFile(sourcePath, "dupes", name.c_str(), true);
}
