// What a long run shows on a terminal: one line on standard error,
// rewritten in place, that says how far the walk has come, and a summary
// at the end. Only where standard error is a terminal and "-q" was not
// given; output to files and pipes never holds any of it.
#ifndef CORE_PROGRESS_H_
#define CORE_PROGRESS_H_

#include <chrono>
#include <cstdint>
#include <string>

struct Progress {
  using Clock = std::chrono::steady_clock;
  bool on = false;      // the line and the summary are shown
  bool onStdout = false;  // standard output shows on the same terminal
  std::string tool;     // the name the line starts with
  Clock::time_point start, drawn;
  Clock::duration delay = std::chrono::seconds(1);  // before the first line
  uint64_t filesDone = 0, files = 0;  // of the walk under way
  uint64_t bytesDone = 0, bytes = 0;
  size_t shownLength = 0;  // of the line on the terminal now; 0: none
};

// Starts the walk of `files` files holding `bytes` bytes in all.
void ProgressStartWalk(Progress* progress, uint64_t files, uint64_t bytes);

// Counts one more file of `bytes` bytes done, and redraws the line, at
// most ten times a second and not in the run's first second.
void ProgressFileDone(Progress* progress, uint64_t bytes);

// Takes the line off the terminal, before anything else is written there.
void ProgressClear(Progress* progress);

// The line for `progress` after `seconds`, cut to `width` characters:
// "Tessary: 1,234 of 5,678 files, 12.3 of 40.2 GB, 1.4 GB/s, about 0:20
// left", the estimate once two seconds have passed.
std::string ProgressLine(const Progress& progress, double seconds, size_t width);

#endif  // CORE_PROGRESS_H_
