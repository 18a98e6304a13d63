// The malformed-archive corpus (zip_malformed_cases.h) run through Tessary
// as a user meets it: a dump of "*.*" in a folder that holds only the
// archive. Every case must end with exit status 0, the archive untouched,
// nothing on standard error but the banner and "Dump mode", and on
// standard output exactly its verdict. The sanitizer build runs the same
// cases, so none may trip a sanitizer either.
#include <ostream>
#include <string>
#include <vector>

#include "tests/romtool/tessary_fixture.h"
#include "tests/zip/zip_malformed_cases.h"

namespace malformed {
// Test listings show the label, not the record's bytes.
void PrintTo(const MalformedCase& c, std::ostream* out) { *out << c.label; }
}  // namespace malformed

namespace {

using malformed::Built;
using malformed::MalformedCase;
using malformed::Outcome;
using testsupport::Hex8;

class MalformedArchiveTest
    : public TessaryTest,
      public testing::WithParamInterface<MalformedCase> {
 protected:
  std::string Expected(const std::vector<Outcome>& verdict) {
    std::string out = "*.*  \n";
    for (const Outcome& outcome : verdict) {
      out += outcome.reason != nullptr
                 ? zipbuilder::Report(Folder() + "t.zip", outcome.reason)
                 : Hex8(outcome.crc) + " t.zip\n";
    }
    return out;
  }
};

TEST_P(MalformedArchiveTest, GivesItsVerdictAndNothingElse) {
  Built built = GetParam().make();
  Write("t.zip", built.bytes);
  testsupport::ProgramResult result = Run({"-d", "*.*"});
  EXPECT_EQ(result.out, Text(Expected(built.verdict)));
  EXPECT_EQ(result.err, Text(std::string(kBanner) + "Dump mode\n\n"));
  EXPECT_EQ(Files(), std::vector<std::string>{"t.zip"});
  EXPECT_TRUE(Read("t.zip") == built.bytes) << "the archive was changed";
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, MalformedArchiveTest, testing::ValuesIn(malformed::AllCases()),
    [](const testing::TestParamInfo<MalformedCase>& info) {
      return std::string(info.param.label);
    });

}  // namespace
