#include "core/run.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

#include "core/crc32.h"
#include "core/file_load.h"
#include "core/paths.h"
#include "core/pipeline.h"
#include "core/patterns.h"
#include "core/placement.h"
#include "core/platform.h"
#include "core/text.h"

namespace {

// The system name and the joined pattern text are not paths: 255
// characters, the most that a file name may hold, is more than any
// needs.
const size_t kMaxArgumentText = 255;

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
  BuildPatternList(text.data(), tool.echoPatternLine);
  return 1;
}

// The flag of the option `argument` ("-n", "-m" or "-q", either case), or
// 0.
int RenameOption(const char* argument) {
  if (argument[0] != '-') return 0;
  if (argument[1] == 'n' || argument[1] == 'N') return RUN_PREVIEW;
  if (argument[1] == 'm' || argument[1] == 'M') return RUN_MISSING;
  if (argument[1] == 'q' || argument[1] == 'Q') return RUN_QUIET;
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

// Prints the usage lines to standard error.
void ShowUsage(const ToolConfig& tool) {
  std::fputs("---------------------------------------------\n", stderr);
  std::fputs(tool.usageLine2, stderr);
  std::fputs("Options : uses [system].dat to rename\n", stderr);
  std::fputs("          -d   Dump CRC info (make a dat)\n", stderr);
  std::fputs("          -n   Show the renames, make none\n", stderr);
  std::fputs("          -m   List what the catalog lists and no file matched\n",
             stderr);
  std::fputs("          -q   Show no progress and no summary on a terminal\n", stderr);
  std::fputs(tool.usageLine5, stderr);
  std::fputs(tool.usageLine6, stderr);
}

// Parses the command line. Stores the system name in `systemName` and, for
// "-d", builds the pattern list. Returns the run flags; 0 when the command
// line is invalid, after the usage has been printed.
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

// Whether the archive walk `walk` would repeat what the patterns cover.
bool PatternsCover(const char* walk) {
  for (const std::string& pattern : PatternListEntries()) {
    if (pattern.find("*.*") != std::string::npos || pattern.find(walk) != std::string::npos) {
      return true;
    }
  }
  return false;
}

// Identifies one listed name with the tool's per-file function, collecting
// what it says. A dump passes over a name with a control character in it:
// printed, a line feed would forge a catalog line, and other codes would
// drive the terminal.
void Identify(const ToolConfig& tool, const RunState& run, const std::string& name,
              FileResult* result) {
  result->name = name;
  CollectMessages(&result->messages);
  if ((run.flags & RUN_DUMP) && HasControlCharacter(name)) {
    Say(stderr, "\nErr: Passed over a name with control characters %s%s\n",
        Printable(run.directory).c_str(), Printable(name).c_str());
  } else {
    FileBuffer* buffer = nullptr;
    // Memory that runs out on a worker fails this file, not the program.
    try {
      buffer = ReusableFileBuffer();
      buffer->budget = run.budget.get();
      tool.perFile(run, name, result);
    } catch (const std::bad_alloc&) {
      result->crc = 0;
      result->lookups = CrcLookups();
      Say(stderr, "\nErr: Not enough memory for %s%s\n", Printable(run.directory).c_str(),
          Printable(name).c_str());
    }
    if (buffer != nullptr) {
      FileBufferDone(buffer);
      buffer->budget = nullptr;
    }
  }
  CollectMessages(nullptr);
}

// Whether the name of `result` no longer leads to the file a thread read
// there: a move of this run or another program changed it meanwhile.
bool ChangedSinceRead(const FileResult& result) {
  FileIdentity now;
  return result.identity.Known() &&
         (!PlatformIdentity(result.path, &now) || !(now == result.identity));
}

// What the run does with an identified file, in walk order: its messages,
// then its dump line or its placement. A file to be placed is identified
// again here, as one thread alone would find it, when its name no longer
// leads to the file that was read.
void Finish(const ToolConfig& tool, RunState* run, FileResult* result) {
  if ((run->flags & RUN_RENAME) && ChangedSinceRead(*result)) {
    std::string name = result->name;
    *result = FileResult();
    Identify(tool, *run, name, result);
  }
  // The progress line leaves the terminal before anything may be written.
  if (!result->messages.lines.empty() || (run->flags & RUN_RENAME) || run->progress.onStdout) {
    ProgressClear(&run->progress);
  }
  WriteMessages(result->messages);
  if (run->flags & RUN_DUMP) {
    if (result->crc != 0) std::fputs(result->dumpLine.c_str(), stdout);
    ++(result->crc != 0 ? run->listed : run->skipped);
  } else if (run->flags & RUN_RENAME) {
    if (result->lookups.count == 0) AddCrcLookup(&result->lookups, result->crc);
    if (result->lookups.count > 0) tool.placeFile(&run->placement, *result);
    else ++run->placement.unmatched;
  }
}

// Identifying threads for the run's folder: as a test set them, or one per
// processor, at most 16, and one on a rotational disk.
int IdentifyThreads(const RunState& run) {
  const int kMost = 16;
  // Each thread holds one file open at a time: no more threads than the
  // process may open files, or some would fail files that one could read.
  int most = std::max(1, std::min(kMost, PlatformFreeDescriptors()));
  if (run.identifyThreads > 0) return std::min(run.identifyThreads, most);
  if (PlatformOnRotationalDisk(run.directory.empty() ? "." : run.directory)) return 1;
  int processors = static_cast<int>(std::thread::hardware_concurrency());
  return std::max(1, std::min(processors, most));
}

// Lists the run's folder by `pattern` and identifies every regular file
// found with the tool's per-file function, on several threads; then, in
// the platform's walk order, writes what each file said and its dump
// line, or places it.
void ScanDirectory(const ToolConfig& tool, RunState* run, const char* pattern) {
  std::string pathPattern;
  if (!BuildPath(run->directory.c_str(), pattern, &pathPattern)) return;
  std::vector<std::string> names;
  if (!PlatformListDirectory(pathPattern, &names)) {
    if (!run->listingFailed) {
      std::fprintf(stderr, "\nErr: Unable to list %s: %s\n",
                   Printable(run->directory.empty() ? "." : run->directory).c_str(),
                   PlatformErrorText().c_str());
    }
    run->listingFailed = true;
    return;
  }
  // A file that a preview planned to move would be gone by now.
  if (run->flags & RUN_PREVIEW) {
    const std::string& prefix = run->directory;
    names.erase(std::remove_if(names.begin(), names.end(),
                               [&](const std::string& name) {
                                 return PlacementPlannedAway(run->placement, prefix + name);
                               }),
                names.end());
  }
  if (names.empty()) return;
  // On a terminal the line tells the bytes: each file's size, asked once.
  std::vector<uint64_t> sizes(run->progress.on ? names.size() : 0);
  for (size_t i = 0; i < sizes.size(); ++i) sizes[i] = PlatformFileSize(run->directory + names[i]);
  uint64_t bytes = 0;
  for (uint64_t size : sizes) bytes += size;
  ProgressStartWalk(&run->progress, names.size(), bytes);
  const RunState& reading = *run;
  size_t finished = 0;
  RunPipeline(
      names, IdentifyThreads(reading),
      [&](const std::string& name, FileResult* result) { Identify(tool, reading, name, result); },
      [&](FileResult* result) {
        Finish(tool, run, result);
        ProgressFileDone(&run->progress, sizes.empty() ? 0 : sizes[finished++]);
      });
  ProgressClear(&run->progress);
}

void WalkPatterns(const ToolConfig& tool, RunState* run) {
  for (const std::string& pattern : PatternListEntries()) {
    // A pattern names files of the current folder, never of another one.
    if (pattern.find_first_of(PlatformPathCharacters()) != std::string::npos) {
      std::fprintf(stderr, "Err: Refused unsafe pattern \"%s\"\n",
                   Printable(pattern).c_str());
      continue;
    }
    ScanDirectory(tool, run, pattern.c_str());
  }
  for (const char* const* walk = tool.archiveWalks; walk != nullptr && *walk != nullptr; ++walk) {
    if (!PatternsCover(*walk)) ScanDirectory(tool, run, *walk);
  }
}

// Loads the catalog (rename mode) and says how that went. Returns false
// when the run ends there.
bool LoadCatalog(const ToolConfig& tool, const RunState& run, uint32_t* count) {
  std::string said;
  *count = tool.loadCatalog(run, &said);
  std::fputs(said.c_str(), stderr);
  if (*count == 0) {
    std::fputs("Error getting data.\n", stderr);
    return false;
  }
  std::fprintf(stderr, "%u files from %s.%s.\n\n", *count, run.systemName.c_str(),
               tool.catalogExtension);
  return true;
}

// The last lines of a run on a terminal: what became of the files.
void WriteSummary(const RunState& run, uint32_t found, uint32_t total) {
  const Placement& placed = run.placement;
  const char* verb = (run.flags & RUN_PREVIEW) ? "to move" : "moved";
  if (run.flags & RUN_DUMP) {
    std::fprintf(stderr, "\n%s: %llu files listed, %llu passed over\n", run.progress.tool.c_str(),
                 (unsigned long long)run.listed, (unsigned long long)run.skipped);
    return;
  }
  std::fprintf(stderr, "\n%s: %llu %s into %s, %llu %s into dupes, %llu left in place, %llu refused\n",
               run.progress.tool.c_str(), (unsigned long long)placed.intoFolder, verb,
               Printable(placed.folder).c_str(), (unsigned long long)placed.intoDupes, verb,
               (unsigned long long)placed.unmatched, (unsigned long long)placed.refused);
  if (run.flags & RUN_MISSING) std::fprintf(stderr, "%u of %u catalog entries found\n", found, total);
}

// Everything after a valid command line: load (rename mode), walk, unload.
void RunValidCommandLine(const ToolConfig& tool, RunState* run) {
  Crc32InitTable();
  uint32_t count = 0;
  if ((run->flags & RUN_RENAME) && (run->flags & RUN_SYSTEM)) {
    if (!LoadCatalog(tool, *run, &count)) return;
  } else {
    std::fputs("Dump mode\n\n", stderr);
  }
  if (run->flags & RUN_SCAN) WalkPatterns(tool, run);
  uint32_t found = 0, total = 0;
  if (run->flags & RUN_MISSING) {
    found = tool.writeMissing(*run, &total);
    std::fprintf(stderr, "\n%u of %u catalog entries found\n", found, total);
  }
  if (count > 0) std::fputs("\nUnloading Data\n", stderr);
  if (run->progress.on) WriteSummary(*run, found, total);
}

// The exit status: 0, or 1 when standard output could not take all that
// was written to it, which then is said: a catalog being made is cut short
// or empty. A reader that left early (a closed pipe) is no failure: the
// run has done its moves, and that reader wanted no more.
int OutputStatus() {
  errno = 0;
  bool failed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
  int reason = errno != 0 ? errno : EIO;
  if (!failed || reason == EPIPE) return 0;
  std::fprintf(stderr, "Err: Unable to write the output: %s\n", std::strerror(reason));
  return 1;
}

}  // namespace

int RunTool(const ToolConfig& tool, int argc, char** argv, const RunSeams& seams) {
  PlatformPrepareProcess();
  // What lives for the process starts each run empty.
  tool.clearCatalog();
  FreePatternList();
  std::fputs(tool.banner, stderr);
  RunState run;
  run.open = seams.open;
  run.identifyThreads = seams.identifyThreads;
  run.budget = std::make_shared<MemoryBudget>(seams.memoryBudget != 0 ? seams.memoryBudget
                                                                    : DefaultMemoryBudget());
  if (ReadWorkingDirectory(&run.directory)) {
    run.flags = ParseCommandLine(tool, argc, argv, &run.systemName);
    run.placement.folder = run.systemName;
    run.placement.preview = (run.flags & RUN_PREVIEW) != 0;
    run.placement.moveMethod = seams.moveMethod;
    run.progress.on = !(run.flags & RUN_QUIET) && PlatformStderrIsTerminal();
    run.progress.onStdout = run.progress.on && PlatformStdoutIsTerminal();
    run.progress.tool = std::string(tool.banner).substr(0, std::string(tool.banner).find(' '));
    run.progress.delay = seams.progressDelay;
    run.progress.start = Progress::Clock::now();
    run.progress.drawn = run.progress.start - std::chrono::seconds(1);
    if (run.flags != 0) RunValidCommandLine(tool, &run);
  }
  tool.clearCatalog();
  FreePatternList();
  ReleaseReusableFileBuffer();  // what this thread identified with
  return OutputStatus();
}
