// The platform layer on Windows: names the system keeps for devices and
// streams, its 255-character paths, text-mode catalogs, and listings that
// go by the long names only.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/placement.h"
#include "core/platform.h"
#include "tests/core/platform_fixture.h"
#include "tests/support/test_support.h"

namespace {

struct ReservedCase {
  const char* name;
  int reserved;
};

TEST(PlatformWindowsTest, DeviceNamesAndColonsAreReserved) {
  const ReservedCase cases[] = {
      {"CON", 1},          {"con", 1},          {"Con.txt", 1},
      {"con.tar.gz", 1},   {"CON .a26", 1},     {"PRN", 1},
      {"aux.bin", 1},      {"NUL", 1},          {"nul.", 1},
      {"COM1", 1},         {"com9.a26", 1},     {"Lpt1.a26", 1},
      {"LPT9", 1},         {"COM\xB9", 1},      {"a:b", 1},
      {"C:game.a26", 1},   {"x.a26:hidden", 1}, {":", 1},
      {"COM0", 0},         {"COM10", 0},        {"LPT", 0},
      {"CONSOLE", 0},      {"NULL.a26", 0},     {"icon.a26", 0},
      {"com1x.bin", 0},    {"Pac-Man (USA).a26", 0},
      {"..", 0},           {"", 0},
  };
  for (const ReservedCase& c : cases) {
    EXPECT_EQ(PlatformNameIsReserved(c.name), c.reserved) << c.name;
    // The placement refuses exactly these, besides names with separators.
    EXPECT_EQ(CatalogNameIsSafe(c.name), 1 - c.reserved) << c.name;
  }
}

TEST(PlatformWindowsTest, PathsUseBackslashesAndStopAt255Characters) {
  EXPECT_EQ(PlatformSeparator(), '\\');
  EXPECT_EQ(PlatformMaxPathLength(), 255u);
}

TEST_F(PlatformTest, CurrentDirectoryIsReadWithoutASeparatorAtTheEnd) {
  testsupport::ScopedCurrentDirectory inside(dir_.path());
  std::string directory;
  ASSERT_EQ(PlatformCurrentDirectory(&directory), 1);
  EXPECT_EQ(directory + "\\", testsupport::WorkingDirectoryView(dir_.path()));
}

TEST_F(PlatformTest, CurrentDirectoryLongerThan255CharactersIsRefused) {
  // Nested folders, so that no single name is long, up to 256 characters.
  std::string deep = dir_.path();
  while (deep.size() < 240) {
    deep += "\\folder";
    testsupport::MakeFolder(deep);
  }
  deep += "\\" + std::string(256 - deep.size() - 1, 'x');
  testsupport::MakeFolder(deep);
  testsupport::ScopedCurrentDirectory inside(deep);
  std::string view = testsupport::WorkingDirectoryView(deep);
  ASSERT_EQ(view.size(), 257u) << view;  // with the added separator
  std::string directory = "stale";
  EXPECT_EQ(PlatformCurrentDirectory(&directory), 0);
  EXPECT_TRUE(directory.empty());
}

TEST_F(PlatformTest, ListingGoesByLongNamesOnly) {
  // The generated short name of photo.jpeg ends in ".JPE", which the
  // listing itself would match.
  Touch("photo.jpeg");
  Touch("shot.jpe");
  Touch("README");
  EXPECT_EQ(List("*.jpe"), std::vector<std::string>{"shot.jpe"});
  EXPECT_EQ(List("readme.*"), std::vector<std::string>{"README"});
}

TEST(PlatformWindowsTest, DevicesAreNeverOpenedAsFiles) {
  uint64_t size = 99;
  for (const char* device : {"NUL", "CON", "COM1", "\\\\.\\NUL"}) {
    EXPECT_EQ(PlatformOpenFile(device, &size), kNoFile) << device;
    EXPECT_EQ(size, 99u);
    EXPECT_EQ(PlatformOpenForReading(device, true), nullptr) << device;
  }
}

std::string ReadStream(std::FILE* stream) {
  std::string text;
  char buffer[64];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) {
    text.append(buffer, got);
  }
  std::fclose(stream);
  return text;
}

TEST_F(PlatformTest, CatalogsAreReadInTextModeArchivesInBinary) {
  Touch("set.dat", "*.a26 \r\n352441c2 Pac-Man\r\n");
  std::FILE* text = PlatformOpenForReading(dir_.Join("set.dat").c_str(), true);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(ReadStream(text), "*.a26 \n352441c2 Pac-Man\n");
  std::FILE* binary =
      PlatformOpenForReading(dir_.Join("set.dat").c_str(), false);
  ASSERT_NE(binary, nullptr);
  uint64_t size = 0;
  EXPECT_EQ(PlatformFileSize(binary, &size), 1);
  EXPECT_EQ(size, 26u);
  EXPECT_EQ(ReadStream(binary), "*.a26 \r\n352441c2 Pac-Man\r\n");
}

TEST_F(PlatformTest, MoveFailsOnANameThatDiffersOnlyInCase) {
  Touch("source.bin", "source");
  Touch("TARGET.BIN", "target");
  EXPECT_EQ(PlatformMoveFile(dir_.Join("source.bin"), dir_.Join("target.bin")),
            0);
  EXPECT_EQ(testsupport::ReadFile(dir_.Join("TARGET.BIN")), "target");
  EXPECT_EQ(testsupport::ReadFile(dir_.Join("source.bin")), "source");
}

}  // namespace
