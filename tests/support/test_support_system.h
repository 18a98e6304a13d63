// What each system's implementation file of the test helpers gives to the
// shared part, test_support.cpp. Not for the tests themselves.
#ifndef TESTS_SUPPORT_TEST_SUPPORT_SYSTEM_H_
#define TESTS_SUPPORT_TEST_SUPPORT_SYSTEM_H_

#include <string>
#include <vector>

namespace testsupport {
namespace native {

// The names in `folder` ("." and ".." left out), split into sub-folders
// and everything else; a link counts as a file, whatever it points at.
// Both lists are empty when the folder cannot be read.
void ReadFolder(const std::string& folder, std::vector<std::string>* files,
                std::vector<std::string>* folders);

// What a text-mode stream writes for each "\n" it is given.
const char* TextLineEnd();

}  // namespace native
}  // namespace testsupport

#endif  // TESTS_SUPPORT_TEST_SUPPORT_SYSTEM_H_
