// The catalog-name safety rule and the placement of identified files under
// a name taken from the input, as a catalog would supply it. Each input is
// played in a fresh working folder:
//   byte 0, bit 0     the catalog entry is already taken
//   byte 0, bit 1     first files go to "sys"; else to "ren"
//   byte 0, bits 2-3  how many files (1 to 3) are placed under the name
//   byte 0, bits 4-5  the files' extension: ".bin", ".BIN", none, ".a.b"
//   byte 0, bit 6     a plain file named "dupes" stands in the way
//   the rest          the catalog name, up to its first NUL
// Whatever the name, every file ends up exactly once inside the working
// folder with its contents, and an unsafe name moves nothing.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "core/placement.h"
#include "fuzz/fuzz_support.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const fs::path work = fs::path(FuzzScratchDir()) / "work";
  std::string name(reinterpret_cast<const char*>(data + 1), size - 1);
  name = name.substr(0, name.find('\0'));
  bool safe = FileNameIsSafe(name) != 0;
  FUZZ_CHECK(!safe || name.find_first_of("/\\") == std::string::npos);
  fs::remove_all(work);
  fs::create_directory(work);
  if (data[0] & 0x40) WriteWholeFile((work / "dupes").string(), data, 0);
  Placement placement;
  if (data[0] & 0x02) placement.folder = "sys";
  const char* const extensions[] = {".bin", ".BIN", "", ".a.b"};
  std::map<std::string, int> sources;  // contents, and copies found
  for (int i = 0; i < 1 + ((data[0] >> 2) & 3) % 3; ++i) {
    std::string source = (work / ("file" + std::to_string(i))).string() + extensions[(data[0] >> 4) & 3];
    std::string contents = "contents of file " + std::to_string(i);
    WriteWholeFile(source, contents.data(), contents.size());
    sources[contents] = 0;
  }
  unsigned char taken = data[0] & 0x01;
  for (int i = 0; i < int(sources.size()); ++i) {
    std::string source = (work / ("file" + std::to_string(i))).string() + extensions[(data[0] >> 4) & 3];
    PlaceCatalogMatch(&placement, source, FileIdentity(), &taken, name);
    FUZZ_CHECK(safe || fs::exists(source));
  }
  for (const auto& entry : fs::recursive_directory_iterator(FuzzScratchDir())) {
    if (!entry.is_regular_file() || entry.path() == work / "dupes") continue;  // the obstacle
    std::ifstream in(entry.path(), std::ios::binary);
    FUZZ_CHECK(entry.path().string().rfind(work.string() + "/", 0) == 0);
    ++sources.at(std::string(std::istreambuf_iterator<char>(in), {}));
  }
  for (const auto& source : sources) FUZZ_CHECK(source.second == 1);
  return 0;
}
