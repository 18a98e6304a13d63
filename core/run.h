// The frame of a run, shared by both tools: banner, command line, catalog
// load, the walk over the current directory, and the orderly end.
#ifndef CORE_RUN_H_
#define CORE_RUN_H_

#include <cstdint>
#include <string>

#include "core/file_result.h"

// Bits of the run flags, passed unchanged to every per-file call.
enum RunFlag {
  RUN_DUMP = 0x1,    // "-d" with at least one pattern after it
  RUN_RENAME = 0x2,  // a valid run that is not a dump
  RUN_SCAN = 0x4,    // the run is valid
  RUN_SYSTEM = 0x8,  // the command line names a system (catalog)
  RUN_PREVIEW = 0x10,  // "-n": rename mode plans its moves, makes none
  RUN_MISSING = 0x20,  // "-m": rename mode lists the entries not found
};

// A tool's per-file function: identifies the file `foundName` (the bare
// name from the listing) of `directory` (ending with the separator, or null
// when the name is the whole path) into `result`. It may run on any
// thread: it only reads, and says what it has to say through Say.
typedef void (*PerFileFunction)(std::string foundName, const char* directory,
                                int flags, FileResult* result);

// What differs between the tools; everything else in a run is the same.
struct ToolConfig {
  const char* banner;            // first line on standard error
  const char* usageLine2;        // "Usage   : ..." (ends with two line feeds)
  const char* usageLine5;        // "\nEx: To rename ..."
  const char* usageLine6;        // "    To make ..."
  const char* catalogExtension;  // shown in the count line: "dat" or "crc"
  // Loads the catalog of `systemName`; returns the number of entries.
  uint32_t (*loadCatalog)(const char* systemName);
  void (*clearCatalog)();  // empties the loaded catalog at the run's end
  PerFileFunction perFile;
  // Places an identified file by the catalog (rename mode).
  void (*placeFile)(const FileResult& result, int flags);
  // Writes the entries that no file took to standard output as a catalog
  // of the tool's layout; returns how many entries a file took, and their
  // total number in `total`.
  uint32_t (*writeMissing)(const char* systemName, uint32_t* total);
  bool echoPatternLine;  // BuildPatternList writes the pattern line
  bool extraZipPass;     // one more walk with "*.zip"
};

// Runs the tool and returns 0, the exit status of every run.
int RunTool(const ToolConfig& tool, int argc, char** argv);

// Parses the command line. Stores the system name in `systemName` and, for
// "-d", builds the pattern list. Returns the run flags; 0 when the command
// line is invalid, after the usage has been printed.
int ParseCommandLine(const ToolConfig& tool, int argc, char** argv,
                     std::string* systemName);

// Prints the usage lines to standard error.
void ShowUsage(const ToolConfig& tool);

// Lists `directory` followed by `pattern` and identifies every regular
// file found with the tool's per-file function, on several threads; then,
// in the platform's walk order, writes what each file said and its dump
// line, or places it. Returns 1, or 0 when the listing failed or matched
// nothing.
int ScanDirectory(const char* directory, const ToolConfig& tool,
                  const char* pattern, int flags);

// Sets how many threads identify files: 0 (the start) is one per
// processor, at most 16, and one where the folder lies on a rotational
// disk, whose head would seek between the files.
void SetIdentifyThreads(int threads);

// The kept copy of the system name, which names the folder that receives
// identified files. The catalog reader keeps it; the run's end frees it.
void KeepSystemName(const char* systemName);
// Returns the kept copy, or null when none is kept.
const char* KeptSystemName();
void FreeKeptSystemName();

#endif  // CORE_RUN_H_
