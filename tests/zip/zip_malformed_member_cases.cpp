#include <zlib.h>

#include "tests/support/test_support.h"
#include "tests/zip/zip_malformed_cases.h"

namespace malformed {
namespace {

using testsupport::ReferenceCrc;
using zipbuilder::Archive;
using zipbuilder::Build;
using zipbuilder::DeflatedMember;
using zipbuilder::Member;
using zipbuilder::StoredMember;

// Raw deflate of `content` by a compressor that was primed with
// `dictionary`: its first match reaches back into bytes that an inflater
// without the dictionary never saw.
std::string DeflateWithDictionary(const std::string& dictionary,
                                  const std::string& content) {
  z_stream deflater = {};
  deflateInit2(&deflater, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  deflateSetDictionary(&deflater,
                       reinterpret_cast<const Bytef*>(dictionary.data()),
                       static_cast<uInt>(dictionary.size()));
  std::string out(deflateBound(&deflater, content.size()), '\0');
  deflater.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
  deflater.avail_in = static_cast<uInt>(content.size());
  deflater.next_out = reinterpret_cast<Bytef*>(&out[0]);
  deflater.avail_out = static_cast<uInt>(out.size());
  deflate(&deflater, Z_FINISH);
  out.resize(deflater.total_out);
  deflateEnd(&deflater);
  return out;
}

// The member of the fixtures made by real archivers that the dump names:
// "NES\x1a", 1, 1, ten zero bytes, then i * 7 mod 256 for i = 0 to 1023.
uint32_t FixtureGammaCrc() {
  std::string rom;
  for (int i = 0; i < 1024; ++i) rom.push_back(static_cast<char>(i * 7 % 256));
  return ReferenceCrc(rom);
}

std::vector<MalformedCase> StoredSizeCases() {
  return {
      {"StoredSizesAllOnes", [] {
         Member member = StoredRom();
         member.compressedSize = member.uncompressedSize = 0xFFFFFFFF;
         return One(member, Corrupt());
       }},
      {"StoredSizesDiffer", [] {
         Member member = StoredRom();
         member.uncompressedSize += 1;
         return One(member, Corrupt());
       }},
      {"StoredLengthZero", [] {
         Member member = StoredRom();
         member.compressedSize = member.uncompressedSize = 0;
         return One(member, Corrupt());
       }},
      {"StoredSizesOverstatedWithinTheFile", [] {
         // The ten bytes after the data are the directory's first ten.
         Member member = StoredRom();
         member.compressedSize = member.uncompressedSize =
             static_cast<uint32_t>(Rom().size() + 10);
         std::string zip = Zip({member});
         std::string read = Rom() + zip.substr(DirectoryOf(zip), 10);
         return Built{zip, {Listed(ReferenceCrc(read.substr(16)))}};
       }},
      {"StoredSizesUnderstated", [] {
         Member member = StoredRom();
         member.compressedSize = member.uncompressedSize = 100;
         return One(member, Listed(ReferenceCrc(Rom().substr(16, 84))));
       }},
      {"PlainMemberSizesAllOnesAreNeverRead", [] {
         Member member = StoredMember("a.bin", "plain");
         member.compressedSize = member.uncompressedSize = 0xFFFFFFFF;
         return One(member, Listed(ReferenceCrc("plain")));
       }},
      {"Zip64ExtraOnAPlainMember", [] {
         Member member = StoredMember("a.bin", "plain");
         member.compressedSize = member.uncompressedSize = 0xFFFFFFFF;
         member.extra = std::string("\x01\x00\x10\x00", 4) +
                        std::string("\x05\0\0\0\0\0\0\0", 8) +
                        std::string("\x05\0\0\0\0\0\0\0", 8);
         return One(member, Listed(ReferenceCrc("plain")));
       }},
  };
}

std::vector<MalformedCase> DeflateCases() {
  return {
      {"DeflatedUncompressedAllOnes", [] {
         Member member = DeflatedRom();
         member.uncompressedSize = 0xFFFFFFFF;
         return One(member, Corrupt());
       }},
      {"DeflatedCompressedAllOnes", [] {
         Member member = DeflatedRom();
         member.compressedSize = 0xFFFFFFFF;
         return One(member, Corrupt());
       }},
      {"DeflatedUncompressedOverstated", [] {
         Member member = DeflatedRom();
         member.uncompressedSize += 1;
         return One(member, Corrupt());
       }},
      {"DeflatedUncompressedUnderstated", [] {
         Member member = DeflatedRom();
         member.uncompressedSize -= 1;
         return One(member, Corrupt());
       }},
      {"DeflatedCompressedOverstatedWithinOnePiece", [] {
         Member member = DeflatedRom();
         member.compressedSize += 5;
         return One(member, Listed(RomCrc()));
       }},
      {"DeflatedCompressedUnderstated", [] {
         Member member = DeflatedRom();
         member.compressedSize -= 10;
         return One(member, Corrupt());
       }},
      {"DeflatedCompressedPastTheEnd", [] {
         Member member = DeflatedRom();
         member.compressedSize += 100000;
         return One(member, Corrupt());
       }},
      {"DeflatedCompressedZero", [] {
         Member member = DeflatedRom();
         member.compressedSize = 0;
         return One(member, Corrupt());
       }},
      {"DeflateStreamEndsBeforeTheLastPiece", [] {
         Member member = DeflatedRom();
         member.data += std::string(20000, 'p');
         member.compressedSize = static_cast<uint32_t>(member.data.size());
         return One(member, Corrupt());
       }},
      {"InvalidDeflateBlockType", [] {
         Member member = DeflatedRom();
         member.data[0] = static_cast<char>(0xFF);
         return One(member, Corrupt());
       }},
      {"DeflateDistanceTooFarBack", [] {
         Member member = DeflatedRom();
         member.data = DeflateWithDictionary(Rom(), Rom());
         member.compressedSize = static_cast<uint32_t>(member.data.size());
         return One(member, Corrupt());
       }},
      {"TruncatedDeflateStream", [] {
         Member member = DeflatedRom();
         member.data.resize(member.data.size() / 2);
         member.compressedSize = static_cast<uint32_t>(member.data.size());
         return One(member, Corrupt());
       }},
  };
}

std::vector<MalformedCase> FeatureCases() {
  return {
      {"Method12", [] {
         Member member = StoredRom();
         member.method = 12;
         return One(member, Unsupported());
       }},
      {"Method14", [] {
         Member member = DeflatedRom();
         member.method = 14;
         return One(member, Unsupported());
       }},
      {"Method99", [] {
         Member member = DeflatedRom();
         member.method = 99;
         return One(member, Unsupported());
       }},
      {"Method12OnAPlainMember", [] {
         Member member = StoredMember("a.bin", "plain");
         member.method = 12;
         return One(member, Listed(ReferenceCrc("plain")));
       }},
      {"EncryptionBitOnAStoredMember", [] {
         Member member = StoredRom();
         member.bitFlags = 0x01;
         return One(member, Listed(RomCrc()));
       }},
      {"EncryptionBitOnADeflatedMember", [] {
         Member member = DeflatedRom();
         member.bitFlags = 0x01;
         return One(member, Listed(RomCrc()));
       }},
      {"VersionNeeded21", [] {
         Member member = DeflatedRom();
         member.versionNeeded = 21;
         return One(member, Unsupported());
       }},
      {"VersionNeeded45", [] {
         Member member = DeflatedRom();
         member.versionNeeded = 45;
         return One(member, Unsupported());
       }},
      {"SystemByteNotZero", [] {
         Member member = DeflatedRom();
         member.systemNeeded = 3;
         return One(member, Unsupported());
       }},
      {"InfoZipArchive", [] {
         return Built{testsupport::ReadFile(
                          testsupport::FixturePath("zip/infozip-deflated.zip")),
                      {Listed(FixtureGammaCrc())}};
       }},
      {"PythonArchiveWithDataDescriptors", [] {
         return Built{testsupport::ReadFile(testsupport::FixturePath(
                          "zip/python-descriptor.zip")),
                      {Listed(FixtureGammaCrc())}};
       }},
  };
}

}  // namespace

std::vector<MalformedCase> MemberCases() {
  std::vector<MalformedCase> all;
  for (auto group : {StoredSizeCases, DeflateCases, FeatureCases}) {
    std::vector<MalformedCase> cases = group();
    all.insert(all.end(), cases.begin(), cases.end());
  }
  return all;
}

}  // namespace malformed
