// Files that change between the directory listing and the open. The
// listing saw a regular file; by the time the per-file function opens the
// name it is a pipe, a device, a folder, a loop of links, or gone. Calling
// the per-file functions directly on such a name is exactly that moment.
// None may block, read a byte, or say anything but its one message.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/crc32.h"
#include "core/patterns.h"
#include "core/run.h"
#include "imagetool/identify.h"
#include "romtool/identify.h"
#include "tests/faults/fault_support.h"
#include "tests/support/zip_builder.h"

namespace faults {
namespace {

enum SwapKind { kPipe, kDeviceLink, kDeviceNode, kFolder, kLinkLoop, kGone };

struct Swap {
  const char* label;
  SwapKind kind;
};

// In the order of SwapKind, so that kSwaps[kind] names `kind`.
const Swap kSwaps[] = {
    {"pipe", kPipe},       {"link to /dev/zero", kDeviceLink},
    {"device node", kDeviceNode}, {"folder", kFolder},
    {"link loop", kLinkLoop},     {"deleted file", kGone},
};

// Puts the thing of `kind` at `path`. Returns false when this system does
// not allow it (only device nodes need a privilege).
bool PutSwappedIn(SwapKind kind, const std::string& path) {
  switch (kind) {
    case kPipe:
      return mkfifo(path.c_str(), 0644) == 0;
    case kDeviceLink:
      return symlink("/dev/zero", path.c_str()) == 0;
    case kDeviceNode:
      return mknod(path.c_str(), S_IFCHR | 0644, makedev(1, 5)) == 0;
    case kFolder:
      return mkdir(path.c_str(), 0755) == 0;
    case kLinkLoop:
      return symlink(path.c_str(), path.c_str()) == 0;
    case kGone:
      return true;
  }
  return false;
}

// One per-file function, with the name it is handed and the pattern list
// of a run that looks at such names.
struct Reader {
  const char* label;
  const char* name;
  const char* patterns;
  PerFileFunction perFile;
};

const Reader kReaders[] = {
    {"ROM image", "x.a26", "*.a26", IdentifyRomFile},
    {"zip archive", "x.zip", "*.a26", IdentifyRomFile},
    {"picture", "x.jpg", "*.jpg", IdentifyImageFile},
};

struct Output {
  std::string out;
  std::string err;
};

// Calls `reader` on `name` in `folder` as a dump run would, with a
// watchdog: a call that blocks ends the test process instead of hanging.
Output CallReader(const Reader& reader, const std::string& folder,
                  const std::string& name) {
  Crc32InitTable();
  std::vector<char> patterns(reader.patterns,
                             reader.patterns + std::strlen(reader.patterns) + 1);
  BuildPatternList(patterns.data(), false);
  std::string directory = folder + "/";
  std::string writable = name;
  std::fflush(nullptr);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  alarm(10);
  reader.perFile(&writable[0], directory.c_str(), RUN_DUMP | RUN_SCAN);
  alarm(0);
  std::fflush(nullptr);
  Output output;
  output.out = testing::internal::GetCapturedStdout();
  output.err = testing::internal::GetCapturedStderr();
  FreePatternList();
  return output;
}

// The one message a reader gives for a name it cannot open.
Output CannotOpen(const Reader& reader, const std::string& path) {
  if (reader.perFile == IdentifyRomFile && std::string(reader.name) == "x.zip") {
    return {zipbuilder::Report(path, zipbuilder::kFilesystemText), ""};
  }
  return {"", "\nErr: Unable to open file " + path + "\n"};
}

TEST_F(FaultTest, NameSwappedBeforeTheOpenIsRefusedWithoutBlocking) {
  for (const Reader& reader : kReaders) {
    for (const Swap& swap : kSwaps) {
      SCOPED_TRACE(std::string(reader.label) + " swapped for a " + swap.label);
      std::string folder = MakeFolder(std::to_string(&swap - kSwaps) + "-" +
                                      std::to_string(&reader - kReaders));
      std::string path = folder + "/" + reader.name;
      if (!PutSwappedIn(swap.kind, path)) continue;  // no device nodes here
      std::vector<std::string> before = testsupport::ListFiles(folder);
      Output output = CallReader(reader, folder, reader.name);
      Output expected = CannotOpen(reader, path);
      EXPECT_EQ(output.out, expected.out);
      EXPECT_EQ(output.err, expected.err);
      EXPECT_EQ(testsupport::ListFiles(folder), before);
    }
  }
}

TEST_F(FaultTest, CatalogThatIsNoRegularFileIsRefusedWithoutBlocking) {
  for (RenameScenario scenario : BothTools()) {
    for (SwapKind kind : {kPipe, kDeviceLink, kFolder, kLinkLoop}) {
      SCOPED_TRACE(std::string(scenario.label) + " catalog swapped for a " +
                   kSwaps[kind].label);
      std::string folder = MakeFolder(std::string("catalog-") +
                                      scenario.label + std::to_string(kind));
      Prepare(scenario, folder);
      std::string catalog = folder + "/" + scenario.files[0].first;
      ASSERT_EQ(unlink(catalog.c_str()), 0);
      ASSERT_TRUE(PutSwappedIn(kind, catalog));
      scenario.out = "";
      scenario.err = scenario.err.substr(0, scenario.err.find('\n') + 1) +
                     "Error getting data.\n";
      std::vector<std::string> before = testsupport::ListFiles(folder);
      EXPECT_EQ(RunChecked(scenario, folder), before);
    }
  }
}

// A file of the kernel's whose size says more than a read gives: a file
// that shrank between the open and the read. "" when there is none.
std::string ShorterThanItsSize() {
  for (const char* candidate :
       {"/sys/kernel/mm/transparent_hugepage/enabled", "/sys/kernel/profiling",
        "/sys/devices/system/cpu/online", "/sys/power/state"}) {
    struct stat info;
    if (stat(candidate, &info) != 0 || !S_ISREG(info.st_mode)) continue;
    if (access(candidate, R_OK) != 0) continue;
    std::FILE* stream = std::fopen(candidate, "rb");
    if (stream == nullptr) continue;
    char bytes[8192];
    size_t got = std::fread(bytes, 1, sizeof bytes, stream);
    std::fclose(stream);
    if (got < static_cast<size_t>(info.st_size)) return candidate;
  }
  return std::string();
}

TEST_F(FaultTest, FileShorterThanItsSizeIsReportedAndNotChecksummed) {
  std::string shrunk = ShorterThanItsSize();
  if (shrunk.empty()) GTEST_SKIP() << "no file here reads shorter than its size";
  for (const Reader& reader : {kReaders[0], kReaders[2]}) {
    SCOPED_TRACE(reader.label);
    std::string folder = MakeFolder(std::string("short-") + reader.name);
    std::string path = folder + "/" + reader.name;
    ASSERT_EQ(symlink(shrunk.c_str(), path.c_str()), 0);
    Output output = CallReader(reader, folder, reader.name);
    EXPECT_EQ(output.out, "");
    EXPECT_EQ(output.err, "\nErr: Unable to read file " + path + "\n");
  }
}

}  // namespace
}  // namespace faults
