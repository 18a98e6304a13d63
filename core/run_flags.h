// What the command line asks of a run, as bits: set once by the driver and
// read everywhere below it.
#ifndef CORE_RUN_FLAGS_H_
#define CORE_RUN_FLAGS_H_

enum RunFlag {
  RUN_DUMP = 0x1,      // "-d" with at least one pattern after it
  RUN_RENAME = 0x2,    // a valid run that is not a dump
  RUN_SCAN = 0x4,      // the run is valid
  RUN_SYSTEM = 0x8,    // the command line names a system (catalog)
  RUN_PREVIEW = 0x10,  // "-n": rename mode plans its moves, makes none
  RUN_MISSING = 0x20,  // "-m": rename mode lists the entries not found
  RUN_QUIET = 0x40,    // "-q": no progress line and no summary on a terminal
};

#endif  // CORE_RUN_FLAGS_H_
