// Running the built Tessary in a fresh folder, for the process-level tests.
#ifndef TESTS_ROMTOOL_TESSARY_FIXTURE_H_
#define TESTS_ROMTOOL_TESSARY_FIXTURE_H_

#include "tests/support/program_test.h"

class TessaryTest : public ProgramTest {
 protected:
  static constexpr const char* kBanner = "Tessary v1.0 (Release)\n";

  TessaryTest() : ProgramTest(TESSARY_PATH) {}
};

#endif  // TESTS_ROMTOOL_TESSARY_FIXTURE_H_
