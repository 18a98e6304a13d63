// Helpers shared by the fuzz targets: a private scratch folder that lives
// as long as the process, writing an input there, and silencing the tools'
// own output so that fuzzing stays fast.
#ifndef FUZZ_FUZZ_SUPPORT_H_
#define FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <string>

// Sends standard output to the null device for the rest of the process.
// Standard error stays: libFuzzer and the sanitizers report there.
void SilenceStandardOutput();

// A folder of this process alone (in /dev/shm where it can be written),
// made on first use and removed at a normal exit. No trailing separator.
const std::string& FuzzScratchDir();

// Replaces the file `path` by the `size` bytes of `data`. Returns 1 on
// success, 0 on failure.
int WriteWholeFile(const std::string& path, const uint8_t* data, size_t size);

// Removes `path` and everything under it, without following links.
void RemoveTree(const std::string& path);

// Stops the process with a message on standard error: a broken invariant,
// which libFuzzer reports as a crash with the input that caused it.
[[noreturn]] void FuzzCheckFailed(const char* what);

#define FUZZ_CHECK(condition) \
  ((condition) ? (void)0 : FuzzCheckFailed(#condition))

#endif  // FUZZ_FUZZ_SUPPORT_H_
