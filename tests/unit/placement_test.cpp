// Where a match lands for the sources that scenarios do not make: a
// relative path, a name without an extension, a folder with a dot in its
// name; and "ren" when the run names no folder.
#include <gtest/gtest.h>

#include "core/placement.h"
#include "core/platform.h"
#include "tests/support/support.h"

namespace {

TEST(PlacementTest, TargetNames) {
  const struct {
    const char* source;  // "./x" is given as the relative path "x"
    const char* name;
    const char* landing;
  } cases[] = {
      {"game", "Pac-Man.x", "ren/Pac-Man.x"},
      {"roms.d/README", "Notes", "roms.d/ren/Notes"},
      {"./game.a26", "Pac-Man", "ren/Pac-Man.a26"},
      {"a.a26", "Pac-Man.a26", "ren/Pac-Man.a26"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    CurrentDirectory inside(dir.path());
    fs::create_directories((dir.path() / c.source).parent_path());
    WriteBytes(dir.path() / c.source, "data");
    bool relative = c.source[0] == '.';
    std::string source = relative ? c.source + 2 : (dir.path() / c.source).make_preferred().string();
    Placement placement;
    unsigned char taken = 0;
    PlaceCatalogMatch(&placement, source, FileIdentity(), &taken, c.name);
    EXPECT_EQ(ReadBytes(dir.path() / c.landing), "data") << c.landing;
  }
}

TEST(PlacementTest, APathIsNeverTakenInsideTheRunsFolderWhenItLeadsOut) {
  TempDir run, other;
  CurrentDirectory inside(run.path());
  WriteBytes(other.path() / "elsewhere", "x");
  std::string current;
  ASSERT_EQ(PlatformCurrentDirectory(&current), 1);
  // The run's folder followed by a whole path names nothing that exists.
  EXPECT_EQ(PlatformExists(current + PlatformSeparator() + (other.path() / "elsewhere").string()), 0);
}

}  // namespace
