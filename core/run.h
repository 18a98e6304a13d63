// The frame of a run, shared by both tools: banner, command line, catalog
// load, the walk over the current directory, and the orderly end.
#ifndef CORE_RUN_H_
#define CORE_RUN_H_

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "core/file_result.h"
#include "core/memory_budget.h"
#include "core/placement.h"
#include "core/progress.h"
#include "core/read_source.h"
#include "core/run_flags.h"

// The state of one run, made by the driver and handed down: what the
// command line asked, where the run works, how it reads files, and what
// later steps of the run depend on. Two runs never share one.
struct RunState {
  int flags = 0;                       // RunFlag bits
  std::string directory;               // the working directory, with its separator
  std::string systemName;              // names the catalog, and the folder of first files
  SourceOpener open = OpenFileSource;  // how files are opened for reading
  int identifyThreads = 0;             // 0: one per processor, one on a rotational disk
  bool listingFailed = false;          // a failed listing is said once per run
  Placement placement;
  // The bytes of files the identifying threads may hold at once.
  std::shared_ptr<MemoryBudget> budget;
  Progress progress;              // on a terminal: the line and the summary
  uint64_t listed = 0, skipped = 0;  // files a dump listed, and passed over
};

// A tool's per-file function: identifies the file `foundName` (the bare
// name from the listing) of `run.directory` into `result`. It may run on
// any thread: it only reads, and says what it has to say through Say.
typedef void (*PerFileFunction)(const RunState& run, const std::string& foundName,
                                FileResult* result);

// What differs between the tools; everything else in a run is the same.
struct ToolConfig {
  const char* banner;            // first line on standard error
  const char* usageLine2;        // "Usage   : ..." (ends with two line feeds)
  const char* usageLine5;        // "\nEx: To rename ..."
  const char* usageLine6;        // "    To make ..."
  const char* catalogExtension;  // shown in the count line: "dat" or "crc"
  // Loads the catalog of `run.systemName`, opened with `run.open`, and
  // returns the number of entries. What the load has to say (names passed
  // over, why it failed) it adds to `*said`, which the driver prints.
  uint32_t (*loadCatalog)(const RunState& run, std::string* said);
  void (*clearCatalog)();  // empties the catalog
  PerFileFunction perFile;
  // Places an identified file by the catalog (rename mode).
  void (*placeFile)(Placement* placement, const FileResult& result);
  // Writes the entries that no file took to standard output as a catalog
  // of the tool's layout; returns how many entries a file took, and their
  // total number in `total`.
  uint32_t (*writeMissing)(const RunState& run, uint32_t* total);
  bool echoPatternLine;  // the catalog load echoes the pattern line
  // Walks made after the patterns' to find archives whatever the patterns
  // say, each unless a pattern holds it or "*.*"; null-terminated, or null.
  const char* const* archiveWalks;
};

// What a test may choose of a run that a user cannot: how many threads
// identify files (0: as for a user), how files are opened for reading,
// how they are moved (a MoveMethod of the platform), the memory budget of
// the identifying threads (0: DefaultMemoryBudget), and how long a run on
// a terminal waits before it shows its progress line.
struct RunSeams {
  int identifyThreads = 0;
  SourceOpener open = OpenFileSource;
  int moveMethod = 0;
  size_t memoryBudget = 0;
  std::chrono::milliseconds progressDelay{1000};
};

// Runs the tool and returns its exit status: 0; 1 only when standard
// output could not take what was written to it (a closed pipe excepted),
// after saying so. The run's state is its own: the catalog and the
// pattern list, which live for the process, are emptied at its start and
// end.
int RunTool(const ToolConfig& tool, int argc, char** argv, const RunSeams& seams = RunSeams());

#endif  // CORE_RUN_H_
