// Helpers shared by the fuzz targets: a private scratch folder that lives
// as long as the fuzzing process, writing an input there, and silencing
// the tools' output so that fuzzing stays fast.
#ifndef FUZZ_FUZZ_SUPPORT_H_
#define FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <string>

// Sends standard output to /dev/null for the rest of the process. Standard
// error is left alone: libFuzzer and the sanitizers report there (run with
// -close_fd_mask=2 to drop the tools' own messages on it as well).
void SilenceStandardOutput();

// A folder of this process alone, made on first use (in /dev/shm when it
// can be written, else in $TMPDIR or /tmp) and removed with all it holds
// when the process exits normally. Its path has no trailing separator.
const std::string& FuzzScratchDir();

// Replaces the file `path` by exactly `size` bytes of `data`. Returns 1 on
// success, 0 on failure.
int WriteWholeFile(const std::string& path, const uint8_t* data, size_t size);

// Removes `path` and everything under it, without following links.
// Returns 1 when nothing is left of it.
int RemoveTree(const std::string& path);

// Stops the process with a message on standard error: a broken invariant,
// which libFuzzer then reports as a crash with the input that caused it.
[[noreturn]] void FuzzCheckFailed(const char* what);

#define FUZZ_CHECK(condition) \
  ((condition) ? (void)0 : FuzzCheckFailed(#condition))

#endif  // FUZZ_FUZZ_SUPPORT_H_
