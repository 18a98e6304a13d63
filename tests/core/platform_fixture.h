// A fresh folder for each test of the platform layer, shared by the tests
// that hold on every system and those of one system only.
#ifndef TESTS_CORE_PLATFORM_FIXTURE_H_
#define TESTS_CORE_PLATFORM_FIXTURE_H_

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/platform.h"
#include "tests/support/test_support.h"

class PlatformTest : public testing::Test {
 protected:
  std::vector<std::string> List(const std::string& pattern) {
    std::vector<std::string> names;
    PlatformListDirectory(dir_.Join(pattern), &names);
    return names;
  }
  void Touch(const std::string& name, const std::string& bytes = "x") {
    testsupport::WriteFile(dir_.Join(name), bytes);
  }

  testsupport::ScopedTempDir dir_;
};

#endif  // TESTS_CORE_PLATFORM_FIXTURE_H_
