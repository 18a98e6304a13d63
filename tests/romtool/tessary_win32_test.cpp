// Process-level tests of Tessary that only Windows has: catalog names that
// the system would take for a device or for a place on another drive.
#include <string>
#include <vector>

#include "tests/romtool/tessary_fixture.h"

namespace {

using testsupport::Hex8;
using testsupport::ReferenceCrc;

TEST_F(TessaryTest, DeviceNamesAndColonsAreRefusedLikeSeparators) {
  const char* names[] = {"CON",    "lpt1.a26",        "Aux",
                         "C:Game", "Game.a26:hidden", "../Game"};
  std::string catalog = "*.a26  \n";
  for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
    std::string bytes = "game " + std::to_string(i);
    Write("game" + std::to_string(i) + ".a26", bytes);
    catalog += Hex8(ReferenceCrc(bytes)) + " " + names[i] + "\n";
  }
  Write("2600.dat", catalog);
  std::vector<std::string> before = Files();

  testsupport::ProgramResult result = RunRename({"2600"});
  std::string expected = std::string(kBanner) + "6 files from 2600.dat.\n\n";
  for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
    expected += "Err: Refused unsafe catalog name \"" + std::string(names[i]) +
                "\" for " + Folder() + "game" + std::to_string(i) + ".a26\n";
  }
  expected += "\nUnloading Data\n";
  EXPECT_EQ(testsupport::WalkOrderFree(result.err, 2),
            testsupport::WalkOrderFree(Text(expected), 2));
  EXPECT_EQ(result.out, Text("*.a26   \n"));
  EXPECT_EQ(Files(), before);  // every file stays where it was
}

}  // namespace
