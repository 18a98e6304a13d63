#include "core/placement.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "core/paths.h"
#include "core/platform.h"
#include "core/text.h"

namespace {

// One file being placed: where it is, what file it is, how it is moved,
// and what became of the last attempt.
struct Move {
  const std::string& source;
  FileIdentity identity;
  int method;
  PreviewPlan* plan;  // null: moves are made, not planned
  int outcome = MOVE_FAILED;
  std::string leftAs;   // where a file that changed was left
  std::string failure;  // why the last attempt failed
};

// The folder that `target` will lie in, or, where a preview only plans to
// make that folder, its parent: what exists there decides a move.
std::string ExistingFolderOf(const PreviewPlan& plan, const std::string& target) {
  const char separator = PlatformSeparator();
  std::string folder = target.substr(0, target.rfind(separator));
  return plan.folders.count(folder) != 0 ? folder.substr(0, folder.rfind(separator)) : folder;
}

// `target` as a preview keeps it among the names it plans: with its
// letters' case folded where the file system of `folder` folds it, so
// that two names that differ only in case meet as they would on disk.
std::string PlannedName(PreviewPlan* plan, const std::string& folder, const std::string& target) {
  auto known = plan->foldsCase.find(folder);
  if (known == plan->foldsCase.end()) {
    known = plan->foldsCase.emplace(folder, PlatformFoldsCase(folder) != 0).first;
  }
  if (!known->second) return target;
  std::string folded = target;
  for (char& c : folded) c = static_cast<char>(AsciiUpper(static_cast<unsigned char>(c)));
  return folded;
}

// Judges a move of a preview as the system would: into a folder that is
// one (or is planned, in its parent), writable, on the file's own file
// system, under a name that fits, that nothing carries and no planned
// move takes. Returns 1 when it would succeed, with the name the plan
// keeps for `target` in `*planned`, else 0 with errno saying why, as the
// move's own would.
int JudgeMove(const Move& move, const std::string& target, std::string* planned) {
  std::string folder = target.substr(0, target.rfind(PlatformSeparator()));
  if (move.plan->folders.count(folder) == 0 && !PlatformIsFolder(folder)) return errno = ENOENT, 0;
  std::string into = ExistingFolderOf(*move.plan, target);
  if (!PlatformCanMoveInto(move.source, into)) return 0;
  if (target.size() - folder.size() - 1 > PlatformMaxNameLength()) return errno = ENAMETOOLONG, 0;
  *planned = PlannedName(move.plan, into, target);
  if (move.plan->targets.count(*planned) != 0 || PlatformExists(target)) return errno = EEXIST, 0;
  return 1;
}

// A move made, or in a preview judged and planned. Returns 1 when it
// succeeds; the outcome and the reason of a failure stay in `*move`.
int MoveOrPlan(Move* move, const std::string& target) {
  if (move->plan == nullptr) {
    move->outcome = PlatformMoveFile(move->source, target, move->method, move->identity, &move->leftAs);
  } else {
    std::string planned;
    move->outcome = JudgeMove(*move, target, &planned) ? MOVE_DONE : MOVE_FAILED;
    if (move->outcome == MOVE_DONE) {
      move->plan->targets.insert(planned);
      move->plan->movedAway.insert(move->source);
    }
  }
  if (move->outcome == MOVE_FAILED) move->failure = PlatformErrorText();
  return move->outcome == MOVE_DONE;
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
// `*target`; a file that changed or a link that would name nothing ends
// the tries. Returns the first attempt's result: 0 when it succeeded.
int MoveWithRetries(Move* move, std::string* target, bool numbered) {
  if (MoveOrPlan(move, *target)) return 0;
  if (numbered && !target->empty()) {
    // The last character, not its last byte: a UTF-8 name stays valid.
    target->resize(LastCharacterStart(*target, PlatformNamesAreUtf8() != 0) + 1);
    for (char digit = '0'; digit <= '9' && move->outcome == MOVE_FAILED; ++digit) {
      target->back() = digit;
      MoveOrPlan(move, *target);
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

// Moves the file of `move` into `folderName`, created beside it, under
// `newName`, adding the file's extension with `addExtension` unless the
// new name already ends with exactly that extension. With `numbered`, a
// failed move is retried with the target's last character replaced by
// "0" to "9". Returns 0 when the first attempt succeeded, otherwise -1
// (also when a numbered retry succeeded); `move` tells the rest.
int PlaceOrPlanFile(Move* move, const char* folderName, const std::string& newName,
                    bool numbered, bool addExtension) {
  const std::string& sourcePath = move->source;
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
  move->outcome = MOVE_FAILED;
  if (!EnsureOrPlanFolder(target, folderName, &move->failure, move->plan)) return -1;
  target.append(folderName).push_back(separator);
  target.append(newName);
  std::string extension = ExtensionOfLastComponent(sourcePath);
  if (addExtension && ExtensionOfLastComponent(target) != extension) target.append(extension);
  if (!PathFits(target)) return -1;
  int result = MoveWithRetries(move, &target, numbered);
  if (move->outcome == MOVE_DONE) {
    move->failure.clear();
    if (move->plan != nullptr) WritePlannedMove(sourcePath, target, nameStart);
  }
  return result;
}

// Says why the file of `move` stays where it is, when it does.
void ReportUnmoved(const Move& move, const std::string& folder) {
  std::string source = Printable(move.source);
  if (move.outcome == MOVE_CHANGED && move.leftAs.empty()) {
    std::fprintf(stderr, "\nErr: Unable to move %s: it changed after it was read\n", source.c_str());
  } else if (move.outcome == MOVE_CHANGED) {
    std::fprintf(stderr, "\nErr: Unable to move %s: it changed after it was read, and is now %s\n",
                 source.c_str(), Printable(move.leftAs).c_str());
  } else if (move.outcome == MOVE_UNRESOLVED) {
    std::fprintf(stderr, "\nErr: Unable to move %s: its link would name nothing from %s\n",
                 source.c_str(), Printable(folder).c_str());
  } else if (move.outcome == MOVE_FAILED && !move.failure.empty()) {
    std::fprintf(stderr, "\nErr: Unable to move %s: %s\n", source.c_str(), move.failure.c_str());
  }
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
                       const FileIdentity& identity, unsigned char* taken,
                       const std::string& name, bool addExtension) {
  if (!FileNameIsSafe(name)) {
    std::fprintf(stderr, "Err: Refused unsafe catalog name \"%s\" for %s\n",
                 Printable(name).c_str(), Printable(sourcePath).c_str());
    ++placement->refused;
    return;
  }
  Move move{sourcePath, identity, placement->moveMethod,
            placement->preview ? &placement->plan : nullptr, MOVE_FAILED, {}, {}};
  if (*taken == 0) {
    *taken = 1;
    if (PlaceOrPlanFile(&move, placement->folder.c_str(), name, false, addExtension) == 0) {
      ++placement->intoFolder;
      return;
    }
    // A file that changed, or a link that cannot be made there, stays.
    if (move.outcome != MOVE_FAILED) {
      ++placement->refused;
      return ReportUnmoved(move, placement->folder);
    }
  }
  PlaceOrPlanFile(&move, "dupes", name, true, addExtension);
  ++(move.outcome == MOVE_DONE ? placement->intoDupes : placement->refused);
  ReportUnmoved(move, "dupes");
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
