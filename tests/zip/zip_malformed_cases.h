// The malformed-archive corpus: damaged and unusual zip archives, each
// with the verdict Tessary must give when it meets it in a dump of "*.*":
// the reader's reports, the archive's dump line with a CRC-32 computed
// with zlib, or nothing. Every archive is built here, byte by byte or by
// zlib, or read from the fixtures that real archivers made.
#ifndef TESTS_ZIP_ZIP_MALFORMED_CASES_H_
#define TESTS_ZIP_ZIP_MALFORMED_CASES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/zip_builder.h"

namespace malformed {

// One part of a verdict: a report with its reason, or, when `reason` is
// null, the archive's dump line with `crc`.
struct Outcome {
  const char* reason;
  uint32_t crc;
};

struct Built {
  std::string bytes;
  std::vector<Outcome> verdict;  // in the order of standard output
};

struct MalformedCase {
  const char* label;  // a test name: letters and digits only
  Built (*make)();
};

// Every case of the corpus, at least fifty.
std::vector<MalformedCase> AllCases();

// The groups of cases: the archive's structure (end record, directory,
// local headers) and the members' data (sizes, deflate data, features).
std::vector<MalformedCase> ArchiveCases();
std::vector<MalformedCase> MemberCases();

// Building blocks of the cases.
Outcome Corrupt();
Outcome Unsupported();
Outcome Listed(uint32_t crc);
// A cartridge image behind a 16-byte header, which the .nes rule skips,
// and the CRC-32 of what follows the header; the image stored or deflated
// as the member game.nes.
std::string Rom();
uint32_t RomCrc();
zipbuilder::Member StoredRom();
zipbuilder::Member DeflatedRom();
// The archive of `members` without a comment; with one member and the
// verdict `outcome`.
std::string Zip(const std::vector<zipbuilder::Member>& members);
Built One(const zipbuilder::Member& member, Outcome outcome);
// Little-endian fields of `bytes`, and where the directory of an archive
// without a comment starts.
void PutLe(std::string* bytes, size_t offset, uint32_t value, int width);
uint32_t GetLe(const std::string& bytes, size_t offset, int width);
size_t DirectoryOf(const std::string& zip);

}  // namespace malformed

#endif  // TESTS_ZIP_ZIP_MALFORMED_CASES_H_
