// What the POSIX files of the platform layer share: paths handed to the
// kernel relative to the handle on the run's folder. Not for use outside
// the platform layer.
#ifndef CORE_PLATFORM_POSIX_H_
#define CORE_PLATFORM_POSIX_H_

#include <string>

// A path as the kernel gets it: relative to a folder handle, or AT_FDCWD.
struct Located {
  int folder;
  const char* path;
};

// `path` relative to the handle on the current directory when it lies
// inside it (the kernel then walks no component above it), else whole.
// The result points into `path`, which must outlive it.
Located Locate(const char* path);
Located Locate(const std::string& path);

#endif  // CORE_PLATFORM_POSIX_H_
