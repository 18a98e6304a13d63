#include "core/run.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "core/crc32.h"
#include "core/paths.h"
#include "core/pipeline.h"
#include "core/patterns.h"
#include "core/placement.h"
#include "core/platform.h"
#include "core/text.h"

namespace {

// The system name and the joined pattern text are not paths; they keep
// the tools' historic limit of 255 characters.
const size_t kMaxArgumentText = 255;

bool g_hasKeptSystemName = false;
int g_identifyThreads = 0;  // 0: the default
std::string g_keptSystemName;

// Joins the patterns after "-d", each followed by one space, and builds the
// list from them. Returns 0 when the text would be too long.
int BuildListFromArguments(const ToolConfig& tool, int first, int argc,
                           char** argv) {
  std::string joined;
  for (int i = first; i < argc; ++i) {
    joined.append(argv[i]).push_back(' ');
  }
  if (joined.size() > kMaxArgumentText) return 0;
  std::vector<char> text(joined.begin(), joined.end());
  text.push_back('\0');
  return BuildPatternList(text.data(), tool.echoPatternLine);
}

// The flag of the rename-mode option `argument` ("-n" or "-m", either
// case), or 0.
int RenameOption(const char* argument) {
  if (argument[0] != '-') return 0;
  if (argument[1] == 'n' || argument[1] == 'N') return RUN_PREVIEW;
  if (argument[1] == 'm' || argument[1] == 'M') return RUN_MISSING;
  return 0;
}

int WalkArguments(const ToolConfig& tool, int argc, char** argv,
                  std::string* systemName) {
  int flags = 0;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (argument[0] == '-' && (argument[1] == 'd' || argument[1] == 'D')) {
      // A dump moves nothing: the rename-mode options make no sense in it.
      if (flags & (RUN_PREVIEW | RUN_MISSING)) return 0;
      flags |= RUN_DUMP;
      if (i + 1 >= argc || argv[i + 1][0] == '\0') return 0;
      return BuildListFromArguments(tool, i + 1, argc, argv) ? flags : 0;
    }
    if (RenameOption(argument) != 0) {
      flags |= RenameOption(argument);
      continue;
    }
    if (argument[0] == '-') return 0;
    if (std::strlen(argument) > kMaxArgumentText) return 0;
    // The name names a catalog and a folder beside the files: a path would
    // reach outside the current folder.
    if (!FileNameIsSafe(argument)) {
      std::fprintf(stderr, "Err: Refused unsafe system name \"%s\"\n",
                   Printable(argument).c_str());
      return 0;
    }
    systemName->assign(argument);
    flags |= RUN_SYSTEM;
  }
  // The rename-mode options need a catalog to rename by.
  return (flags & (RUN_PREVIEW | RUN_MISSING)) && !(flags & RUN_SYSTEM) ? 0 : flags;
}

// The working directory with its trailing separator, or false after a
// message when it cannot be had.
bool ReadWorkingDirectory(std::string* directory) {
  if (!PlatformCurrentDirectory(directory)) {
    std::fprintf(stderr, "\nErr: Unable to read the current directory\n");
    return false;
  }
  // A root directory already ends with the separator.
  if (directory->empty() || directory->back() != PlatformSeparator()) {
    directory->push_back(PlatformSeparator());
  }
  return PathFits(*directory) != 0;
}

// Whether the extra "*.zip" walk would repeat what the patterns cover.
bool PatternsCoverArchives() {
  for (const std::string& pattern : PatternListEntries()) {
    if (pattern.find("*.*") != std::string::npos ||
        pattern.find("*.zip") != std::string::npos) {
      return true;
    }
  }
  return false;
}

void WalkPatterns(const ToolConfig& tool, const std::string& directory,
                  int flags) {
  for (const std::string& pattern : PatternListEntries()) {
    // A pattern names files of the current folder, never of another one.
    if (pattern.find_first_of(PlatformPathCharacters()) != std::string::npos) {
      std::fprintf(stderr, "Err: Refused unsafe pattern \"%s\"\n",
                   Printable(pattern).c_str());
      continue;
    }
    ScanDirectory(directory.c_str(), tool, pattern.c_str(), flags);
  }
  if (tool.extraZipPass && !PatternsCoverArchives()) {
    ScanDirectory(directory.c_str(), tool, "*.zip", flags);
  }
}

// Identifies one listed name with the tool's per-file function, collecting
// what it says. A dump passes over a name with a control character in it:
// printed, a line feed would forge a catalog line, and other codes would
// drive the terminal.
void Identify(const ToolConfig& tool, const std::string& name,
              const char* directory, int flags, FileResult* result) {
  CollectMessages(&result->messages);
  if ((flags & RUN_DUMP) && HasControlCharacter(name)) {
    Say(stderr, "\nErr: Passed over a name with control characters %s%s\n",
        directory != nullptr ? Printable(directory).c_str() : "",
        Printable(name).c_str());
  } else {
    tool.perFile(name, directory, flags, result);
  }
  CollectMessages(nullptr);
}

// What the run does with an identified file, in walk order: its messages,
// then its dump line or its placement.
void Finish(const ToolConfig& tool, int flags, FileResult* result) {
  WriteMessages(result->messages);
  if (flags & RUN_DUMP) {
    if (result->crc != 0) std::fputs(result->dumpLine.c_str(), stdout);
  } else if (flags & RUN_RENAME) {
    if (result->lookups.count == 0) AddCrcLookup(&result->lookups, result->crc);
    if (result->lookups.count > 0) tool.placeFile(*result, flags);
  }
}

// Identifying threads for the folder `directory`: as set, or by default
// one per processor, at most 16, and one on a rotational disk.
int IdentifyThreads(const char* directory) {
  const int kMost = 16;
  if (g_identifyThreads > 0) return std::min(g_identifyThreads, kMost);
  if (PlatformOnRotationalDisk(directory != nullptr ? directory : ".")) return 1;
  int processors = static_cast<int>(std::thread::hardware_concurrency());
  return std::max(1, std::min(processors, kMost));
}

// Everything after a valid command line: load (rename mode), walk, unload.
void RunValidCommandLine(const ToolConfig& tool, const std::string& directory,
                         const std::string& systemName, int flags) {
  Crc32InitTable();
  uint32_t count = 0;
  if ((flags & RUN_RENAME) && (flags & RUN_SYSTEM)) {
    count = tool.loadCatalog(systemName.c_str());
    if (count == 0) {
      std::fputs("Error getting data.\n", stderr);
      return;
    }
    std::fprintf(stderr, "%u files from %s.%s.\n\n", count,
                 systemName.c_str(), tool.catalogExtension);
  } else {
    std::fputs("Dump mode\n\n", stderr);
  }
  if (flags & RUN_SCAN) WalkPatterns(tool, directory, flags);
  if (flags & RUN_MISSING) {
    uint32_t total = 0;
    uint32_t found = tool.writeMissing(systemName.c_str(), &total);
    std::fprintf(stderr, "\n%u of %u catalog entries found\n", found, total);
  }
  if (count > 0) {
    std::fputs("\nUnloading Data\n", stderr);
    tool.clearCatalog();
  }
}

}  // namespace

void ShowUsage(const ToolConfig& tool) {
  std::fputs("---------------------------------------------\n", stderr);
  std::fputs(tool.usageLine2, stderr);
  std::fputs("Options : uses [system].dat to rename\n", stderr);
  std::fputs("          -d   Dump CRC info (make a dat)\n", stderr);
  std::fputs("          -n   Show the renames, make none\n", stderr);
  std::fputs("          -m   List what the catalog lists and no file matched\n",
             stderr);
  std::fputs(tool.usageLine5, stderr);
  std::fputs(tool.usageLine6, stderr);
}

int ParseCommandLine(const ToolConfig& tool, int argc, char** argv,
                     std::string* systemName) {
  int flags = argc < 2 ? 0 : WalkArguments(tool, argc, argv, systemName);
  if (flags == 0) {
    ShowUsage(tool);
    return 0;
  }
  flags |= RUN_SCAN;
  if (!(flags & RUN_DUMP)) flags |= RUN_RENAME;
  return flags;
}

int ScanDirectory(const char* directory, const ToolConfig& tool,
                  const char* pattern, int flags) {
  static bool s_listingFailed = false;  // said once per run
  std::string pathPattern;
  if (!BuildPath(directory, pattern, &pathPattern)) return 0;
  std::vector<std::string> names;
  if (!PlatformListDirectory(pathPattern, &names)) {
    if (!s_listingFailed) {
      std::fprintf(stderr, "\nErr: Unable to list %s: %s\n",
                   Printable(directory != nullptr ? directory : ".").c_str(),
                   PlatformErrorText().c_str());
    }
    s_listingFailed = true;
    return 0;
  }
  // A file that a preview planned to move would be gone by now.
  std::string prefix = directory != nullptr ? directory : "";
  if (flags & RUN_PREVIEW) {
    names.erase(std::remove_if(names.begin(), names.end(),
                               [&prefix](const std::string& name) {
                                 return PlacementPlannedAway(prefix + name);
                               }),
                names.end());
  }
  if (names.empty()) return 0;
  RunPipeline(
      names, IdentifyThreads(directory),
      [&](const std::string& name, FileResult* result) {
        Identify(tool, name, directory, flags, result);
      },
      [&](FileResult* result) { Finish(tool, flags, result); });
  return 1;
}

void SetIdentifyThreads(int threads) { g_identifyThreads = threads; }

int RunTool(const ToolConfig& tool, int argc, char** argv) {
  PlatformPrepareProcess();
  std::fputs(tool.banner, stderr);
  std::string directory;
  std::string systemName;
  if (ReadWorkingDirectory(&directory)) {
    int flags = ParseCommandLine(tool, argc, argv, &systemName);
    if (flags != 0) RunValidCommandLine(tool, directory, systemName, flags);
  }
  FreePatternList();
  FreeKeptSystemName();
  return 0;
}

void KeepSystemName(const char* systemName) {
  g_keptSystemName.assign(systemName);
  g_hasKeptSystemName = true;
}

const char* KeptSystemName() {
  return g_hasKeptSystemName ? g_keptSystemName.c_str() : nullptr;
}

void FreeKeptSystemName() {
  g_keptSystemName.clear();
  g_hasKeptSystemName = false;
}
