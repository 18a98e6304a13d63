#include "core/placement.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "core/paths.h"
#include "core/platform.h"
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

// A move made, or in a preview judged and planned: a move succeeds into a
// folder that is one (or is planned) and onto a name that nothing carries
// and no planned move takes. Returns 1 when it succeeds.
int MoveOrPlan(const std::string& source, const std::string& target, PreviewPlan* plan,
               int method) {
  if (plan == nullptr) return PlatformMoveFile(source, target, method);
  std::string folder = target.substr(0, target.rfind(PlatformSeparator()));
  if ((plan->folders.count(folder) == 0 && !PlatformIsFolder(folder)) ||
      plan->targets.count(target) != 0 || PlatformExists(target)) {
    return 0;
  }
  plan->targets.insert(target);
  plan->movedAway.insert(source);
  return 1;
}

// Returns 1 when `directory` followed by `folderName` exists (as anything)
// or could be created as a folder; 0 otherwise, with the reason in
// `failure` when it is given. `directory` ends with the path separator.
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

// EnsureFolder, or in a preview (with `plan`) a folder planned where
// nothing carries the name.
int EnsureOrPlanFolder(const std::string& directory, const char* folderName,
                       std::string* failure, PreviewPlan* plan) {
  if (plan == nullptr) return EnsureFolder(directory, folderName, failure);
  std::string folder = directory + folderName;
  if (!PathFits(folder)) return 0;
  if (!PlatformExists(folder)) plan->folders.insert(folder);
  return 1;
}

// Tries `*target` itself, then, when `numbered`, `*target` with its last
// character replaced by "0" up to "9", leaving the last name tried in
// `*target`. Returns the first attempt's result; `moved` tells whether any
// attempt succeeded.
int MoveWithRetries(const std::string& source, std::string* target,
                    bool numbered, PreviewPlan* plan, int method, bool* moved) {
  *moved = MoveOrPlan(source, *target, plan, method) != 0;
  if (*moved) return 0;
  if (numbered && !target->empty()) {
    // The last character, not its last byte: a UTF-8 name stays valid.
    target->resize(LastCharacterStart(*target, PlatformNamesAreUtf8() != 0) + 1);
    for (char digit = '0'; digit <= '9' && !*moved; ++digit) {
      target->back() = digit;
      *moved = MoveOrPlan(source, *target, plan, method) != 0;
    }
  }
  return -1;
}

// The planned move of `source` to `target` as a line of a preview: the
// file's name, and the target from its folder on, always with "/".
void WritePlannedMove(const std::string& source, std::string target,
                      size_t nameStart) {
  target.erase(0, nameStart);
  for (char& c : target) {
    if (c == PlatformSeparator()) c = '/';
  }
  std::printf("%s -> %s\n", Printable(source.substr(nameStart)).c_str(),
              Printable(target).c_str());
}

// Moves the file `sourcePath` into `folderName`, created beside it, under
// `newName`, adding the file's extension with `addExtension` unless the
// new name already ends with exactly that extension. With `numbered`, a
// failed move is retried with the target's last character replaced by
// "0" to "9", moving by the platform's `method`. With `plan`, the move is
// planned instead of made. Returns 0
// when the first attempt succeeded, otherwise -1 (also when a numbered
// retry succeeded). When the file was not moved at all and `failure` is
// given, it receives the reason.
int PlaceOrPlanFile(const std::string& sourcePath, const char* folderName,
                    const std::string& newName, bool numbered, bool addExtension,
                    PreviewPlan* plan, int method, std::string* failure) {
  const char separator = PlatformSeparator();
  std::string target = sourcePath;
  size_t nameStart = sourcePath.rfind(separator);
  if (nameStart == std::string::npos) {
    target = std::string(".") + separator + sourcePath;
    nameStart = 2;
  } else {
    ++nameStart;
  }
  target.resize(nameStart);
  if (!EnsureOrPlanFolder(target, folderName, failure, plan)) return -1;
  target.append(folderName).push_back(separator);
  target.append(newName);
  std::string extension = ExtensionOfLastComponent(sourcePath);
  if (addExtension && ExtensionOfLastComponent(target) != extension) target.append(extension);
  if (!PathFits(target)) return -1;
  bool moved = false;
  int result = MoveWithRetries(sourcePath, &target, numbered, plan, method, &moved);
  if (moved && plan != nullptr) WritePlannedMove(sourcePath, target, nameStart);
  if (!moved && plan == nullptr && failure != nullptr) *failure = PlatformErrorText();
  return result;
}

}  // namespace

int FileNameIsSafe(const std::string& name) {
  // ".", ".." and "" would also give hidden files that no walk finds.
  if (name.empty() || name == "." || name == "..") return 0;
  const size_t kMostNameBytes = 255;
  if (name.size() > kMostNameBytes) return 0;
  if (name.find_first_of(PlatformPathCharacters()) != std::string::npos) return 0;
  if (HasControlCharacter(name)) return 0;
  return PlatformNameIsReserved(name.c_str()) ? 0 : 1;
}

bool PlacementPlannedAway(const Placement& placement, const std::string& sourcePath) {
  return placement.plan.movedAway.count(sourcePath) != 0;
}

void PlaceCatalogMatch(Placement* placement, const std::string& sourcePath,
                       unsigned char* taken, const std::string& name, bool addExtension) {
  if (!FileNameIsSafe(name)) {
    std::fprintf(stderr, "Err: Refused unsafe catalog name \"%s\" for %s\n",
                 Printable(name).c_str(), Printable(sourcePath).c_str());
    return;
  }
  PreviewPlan* plan = placement->preview ? &placement->plan : nullptr;
  if (*taken == 0) {
    *taken = 1;
    if (PlaceOrPlanFile(sourcePath, placement->folder.c_str(), name, false, addExtension, plan,
                        placement->moveMethod, nullptr) == 0) {
      return;
    }
  }
  std::string failure;
  PlaceOrPlanFile(sourcePath, "dupes", name, true, addExtension, plan, placement->moveMethod,
                  &failure);
  if (!failure.empty()) {
    std::fprintf(stderr, "\nErr: Unable to move %s: %s\n",
                 Printable(sourcePath).c_str(), failure.c_str());
  }
}

std::set<std::string> ListPlacedNames(const Placement& placement, const std::string& directory) {
  std::vector<std::string> names;
  std::string pattern = directory + placement.folder + PlatformSeparator() + "*";
  if (!PlatformListDirectory(pattern, &names)) names.clear();
  return std::set<std::string>(names.begin(), names.end());
}

bool HoldsPlacedName(const std::set<std::string>& names, const std::string& name) {
  if (name.empty()) return false;
  if (names.count(name) != 0) return true;
  const std::string stem = name + ".";
  for (auto it = names.lower_bound(stem); it != names.end() && it->compare(0, stem.size(), stem) == 0; ++it) {
    if (it->find('.', stem.size()) == std::string::npos) return true;
  }
  return false;
}
