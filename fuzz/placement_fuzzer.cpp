// The catalog-name safety rule and the placement of identified files, with
// a name taken from the input as a catalog would supply it. Each input is
// played in a fresh working folder inside a private root:
//   byte 0, bit 0     the catalog entry is already taken
//   byte 0, bit 1     a system name is kept ("sys"); else files go to "ren"
//   byte 0, bits 2-3  how many files (1 to 3) are placed under the name
//   byte 0, bits 4-5  the files' extension: ".bin", ".BIN", none, ".a.b"
//   byte 0, bit 6     a plain file named "dupes" stands in the way
//   the rest          the catalog name, up to its first NUL
// Whatever the name, every file must end up exactly once inside the
// working folder, with its contents, and an unsafe name moves nothing.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "core/placement.h"
#include "core/run.h"
#include "fuzz/fuzz_support.h"

namespace fs = std::filesystem;

namespace {

std::string g_work;  // the working folder, with its trailing separator

const char* const kExtensions[] = {".bin", ".BIN", "", ".a.b"};

std::string ContentOf(int file) { return "contents of file " + std::to_string(file); }

// Every file under the scratch folder (links not followed) by path, with
// its bytes; links and other non-files hold "".
std::map<std::string, std::string> CollectFiles() {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(FuzzScratchDir())) {
    if (entry.is_directory()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    files[entry.path().string()] = entry.is_regular_file()
        ? std::string(std::istreambuf_iterator<char>(in), {}) : "";
  }
  return files;
}

void CheckNothingLost(const std::vector<std::string>& sources, bool safe,
                      bool obstacle) {
  std::map<std::string, std::string> files = CollectFiles();
  FUZZ_CHECK(files.size() == sources.size() + (obstacle ? 1 : 0));
  for (size_t i = 0; i < sources.size(); ++i) {
    int copies = 0;
    for (const auto& file : files) {
      if (file.second != ContentOf(static_cast<int>(i))) continue;
      ++copies;
      FUZZ_CHECK(file.first.compare(0, g_work.size(), g_work) == 0);
    }
    FUZZ_CHECK(copies == 1);
    if (!safe) FUZZ_CHECK(files.count(sources[i]) == 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SilenceStandardOutput();
  g_work = FuzzScratchDir() + "/work/";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  std::string name(reinterpret_cast<const char*>(data + 1), size - 1);
  name.resize(name.find('\0') == std::string::npos ? name.size()
                                                   : name.find('\0'));
  bool safe = CatalogNameIsSafe(name) != 0;
  if (name.find_first_of("/\\") != std::string::npos) FUZZ_CHECK(!safe);

  RemoveTree(FuzzScratchDir() + "/work");
  FUZZ_CHECK(mkdir(g_work.c_str(), 0700) == 0);
  bool obstacle = (flags & 0x40) != 0;
  if (obstacle) {
    FUZZ_CHECK(WriteWholeFile(g_work + "dupes", nullptr, 0));
  }
  if (flags & 0x02) KeepSystemName("sys");
  std::vector<std::string> sources;
  int fileCount = 1 + ((flags >> 2) & 0x03) % 3;
  for (int i = 0; i < fileCount; ++i) {
    std::string source = g_work + "file" + std::to_string(i) +
                         kExtensions[(flags >> 4) & 0x03];
    std::string content = ContentOf(i);
    FUZZ_CHECK(WriteWholeFile(
        source, reinterpret_cast<const uint8_t*>(content.data()),
        content.size()));
    sources.push_back(source);
  }
  unsigned char taken = flags & 0x01;
  for (const std::string& source : sources) {
    PlaceCatalogMatch(source, &taken, name);
  }
  // Obstacle files count as files too; their contents are empty.
  CheckNothingLost(sources, safe, obstacle);
  FreeKeptSystemName();
  return 0;
}
