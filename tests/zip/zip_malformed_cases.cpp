#include "tests/zip/zip_malformed_cases.h"

#include "tests/support/test_support.h"

namespace malformed {

using testsupport::ReferenceCrc;
using zipbuilder::Archive;
using zipbuilder::Build;
using zipbuilder::DeflatedMember;
using zipbuilder::Member;
using zipbuilder::StoredMember;

namespace {

// Offsets inside a central directory entry and a local header.
const size_t kEntryExtraLength = 30;
const size_t kEntryCommentLength = 32;
const size_t kLocalNameLength = 26;
const size_t kLocalSizes = 18;  // compressed, then uncompressed size

}  // namespace

Outcome Corrupt() { return {zipbuilder::kCorruptText, 0}; }
Outcome Unsupported() { return {zipbuilder::kUnsupportedText, 0}; }
Outcome Listed(uint32_t crc) { return {nullptr, crc}; }

void PutLe(std::string* bytes, size_t offset, uint32_t value, int width) {
  for (int i = 0; i < width; ++i) {
    (*bytes)[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
}

uint32_t GetLe(const std::string& bytes, size_t offset, int width) {
  uint32_t value = 0;
  for (int i = 0; i < width; ++i) {
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset + i]))
             << (8 * i);
  }
  return value;
}

size_t DirectoryOf(const std::string& zip) {
  return GetLe(zip, zip.size() - 22 + 16, 4);
}

// Text compresses well, so the deflated image holds real Huffman blocks.
std::string Rom() {
  std::string rom("NES\x1a\x01\x01", 6);
  rom.append(10, '\0');
  for (int i = 0; i < 300; ++i) {
    rom += "Line " + std::to_string(i) + " of the cartridge\n";
  }
  return rom;
}
uint32_t RomCrc() { return ReferenceCrc(Rom().substr(16)); }
Member StoredRom() { return StoredMember("game.nes", Rom()); }
Member DeflatedRom() { return DeflatedMember("game.nes", Rom()); }

std::string Zip(const std::vector<Member>& members) {
  Archive archive;
  archive.members = members;
  return Build(archive);
}

Built One(const Member& member, Outcome outcome) {
  return {Zip({member}), {outcome}};
}

namespace {

std::vector<MalformedCase> EndRecordCases() {
  return {
      {"EmptyFile", [] { return Built{"", {Corrupt()}}; }},
      {"OneByte", [] { return Built{"P", {Corrupt()}}; }},
      {"Under22Bytes",
       [] { return Built{Build(Archive{}).substr(0, 21), {Corrupt()}}; }},
      {"NoEndRecord",
       [] { return Built{std::string(3000, 'x'), {Corrupt()}}; }},
      {"EndRecordCutByOneByte", [] {
         std::string zip = Zip({StoredRom()});
         return Built{zip.substr(0, zip.size() - 1), {Corrupt()}};
       }},
      {"EndRecordSignatureInsideTheComment", [] {
         Archive archive;
         archive.members = {StoredRom()};
         // A whole end record claiming no entries, then enough bytes that
         // it lies 22 or more bytes before the end: it is the one found.
         archive.comment = Build(Archive{}) + std::string(30, 'c');
         return Built{Build(archive), {Unsupported()}};
       }},
      {"SignatureTooNearTheEndInsideTheComment", [] {
         Archive archive;
         archive.members = {StoredRom()};
         archive.comment = std::string("PK\x05\x06", 4) + "0123456789";
         return Built{Build(archive), {Listed(RomCrc())}};
       }},
      {"CommentOf5000Bytes", [] {
         Archive archive;
         archive.members = {StoredRom()};
         archive.comment = std::string(5000, 'c');
         return Built{Build(archive), {Listed(RomCrc())}};
       }},
      {"CommentLengthOverstated", [] {
         Archive archive;
         archive.members = {StoredRom()};
         archive.commentLength = 1000;
         return Built{Build(archive), {Listed(RomCrc())}};
       }},
      {"DirectoryOffsetPastTheEnd", [] {
         Archive archive;
         archive.members = {StoredRom()};
         archive.centralDirOffset = 0x10000;
         return Built{Build(archive), {Corrupt()}};
       }},
      {"DirectorySizePastTheEnd", [] {
         Archive archive;
         archive.members = {StoredRom()};
         archive.centralDirSize = 0xFFFFFF00;
         return Built{Build(archive), {Corrupt()}};
       }},
      {"DirectoryWrapsPast32Bits", [] {
         // 0xFFFFFFF0 + 0x40 is 0x30 in 32 bits: inside the file.
         Archive archive;
         archive.members = {StoredRom()};
         archive.centralDirOffset = 0xFFFFFFF0;
         archive.centralDirSize = 0x40;
         return Built{Build(archive), {Corrupt()}};
       }},
      {"DirectorySizeZero", [] {
         Archive archive;
         archive.members = {StoredRom()};
         archive.centralDirSize = 0;
         return Built{Build(archive), {Corrupt()}};
       }},
      {"ZeroEntries", [] {
         Archive archive;
         archive.members = {StoredRom()};
         archive.diskEntries = 0;
         archive.totalEntries = 0;
         return Built{Build(archive), {Unsupported()}};
       }},
      {"EmptyArchive", [] { return Built{Build(Archive{}), {Unsupported()}}; }},
      {"EntryCounts0xFFFF", [] {
         Archive archive;
         archive.members = {StoredRom()};
         archive.diskEntries = 0xFFFF;
         archive.totalEntries = 0xFFFF;
         return Built{Build(archive), {Listed(RomCrc())}};
       }},
      {"EntryCountsDiffer", [] {
         Archive archive;
         archive.members = {StoredRom()};
         archive.totalEntries = 2;
         return Built{Build(archive), {Unsupported()}};
       }},
      {"SpannedDisksDiffer", [] {
         Archive archive;
         archive.members = {StoredRom()};
         archive.diskNumber = 1;
         return Built{Build(archive), {Unsupported()}};
       }},
      {"SpannedSecondDiskDeflatedMember", [] {
         Archive archive;
         archive.members = {DeflatedRom()};
         archive.diskNumber = 1;
         archive.centralDirDisk = 1;
         return Built{Build(archive), {Unsupported()}};
       }},
      {"SpannedSecondDiskPlainMember", [] {
         Archive archive;
         archive.members = {StoredMember("a.bin", "plain")};
         archive.diskNumber = 1;
         archive.centralDirDisk = 1;
         return Built{Build(archive), {Listed(ReferenceCrc("plain"))}};
       }},
  };
}

std::vector<MalformedCase> DirectoryCases() {
  return {
      {"DirectoryCutShort", [] {
         Archive archive;
         archive.members = {StoredRom()};
         archive.centralDirSize = 46 + 8 - 1;
         return Built{Build(archive), {Corrupt()}};
       }},
      {"TrailingBytesInTheDirectory", [] {
         Archive archive;
         archive.members = {StoredMember("a.bin", "first")};
         archive.centralDirSize = 46 + 5 + 10;  // into the end record
         return Built{Build(archive),
                      {Corrupt(), Listed(ReferenceCrc("first"))}};
       }},
      {"NameRunsPastTheDirectory", [] {
         Member member = StoredRom();
         member.nameLengthInEntry = 300;
         return One(member, Corrupt());
       }},
      {"NameLength0xFFFF", [] {
         Member member = StoredRom();
         member.nameLengthInEntry = 0xFFFF;
         return One(member, Corrupt());
       }},
      {"SecondNameRunsPastTheDirectory", [] {
         Member second = StoredRom();
         second.nameLengthInEntry = 300;
         return Built{Zip({StoredMember("a.bin", "first"), second}),
                      {Corrupt(), Listed(ReferenceCrc("first"))}};
       }},
      {"ExtraFieldRunsPastTheDirectory", [] {
         std::string zip = Zip({StoredRom()});
         PutLe(&zip, DirectoryOf(zip) + kEntryExtraLength, 0xFFFF, 2);
         return Built{zip, {Listed(RomCrc())}};
       }},
      {"EntryCommentRunsPastTheDirectory", [] {
         std::string zip = Zip({StoredRom()});
         PutLe(&zip, DirectoryOf(zip) + kEntryCommentLength, 0x8000, 2);
         return Built{zip, {Listed(RomCrc())}};
       }},
      {"LongExtraFieldHidesLaterEntries", [] {
         std::string zip =
             Zip({StoredMember("a.bin", "first"), StoredMember("b.bin", "x")});
         PutLe(&zip, DirectoryOf(zip) + kEntryExtraLength, 0xFFFF, 2);
         return Built{zip, {Listed(ReferenceCrc("first"))}};
       }},
      {"EmptyNameBeforeAnAcceptedMember", [] {
         return Built{Zip({StoredMember("", "nameless"), StoredRom()}),
                      {Listed(RomCrc())}};
       }},
      {"ExtensionInAFolderName", [] {
         return Built{Zip({StoredMember("dir.d/README", "text")}),
                      {Listed(ReferenceCrc("text"))}};
       }},
      {"TwentyThousandEntries", [] {
         // Every member needs its header skipped, so every one is read.
         Archive archive;
         for (int i = 0; i < 20000; ++i) {
           archive.members.push_back(StoredMember(
               "m" + std::to_string(i) + ".nes",
               std::string(16, 'h') + std::to_string(i)));
         }
         return Built{Build(archive), {Listed(ReferenceCrc("19999"))}};
       }},
  };
}

std::vector<MalformedCase> LocalHeaderCases() {
  return {
      {"LocalHeaderOffsetPastTheEnd", [] {
         Member member = StoredRom();
         member.localHeaderOffset = 0x100000;
         return One(member, Corrupt());
       }},
      {"LocalHeaderOffsetAllOnes", [] {
         Member member = StoredRom();
         member.localHeaderOffset = 0xFFFFFFFF;
         return One(member, Corrupt());
       }},
      {"LocalHeaderTooNearTheEnd", [] {
         std::string zip = Zip({StoredRom()});
         PutLe(&zip, DirectoryOf(zip) + 42, static_cast<uint32_t>(zip.size() - 10), 4);
         return Built{zip, {Corrupt()}};
       }},
      {"LocalHeaderPointsIntoTheDirectory", [] {
         // Read as a local header, the directory entry puts the data 38
         // bytes into itself, far too near the end for the whole image.
         std::string zip = Zip({StoredRom()});
         PutLe(&zip, DirectoryOf(zip) + 42, static_cast<uint32_t>(DirectoryOf(zip)), 4);
         return Built{zip, {Corrupt()}};
       }},
      {"LocalLengthsPushTheDataPastTheEnd", [] {
         std::string zip = Zip({StoredRom()});
         PutLe(&zip, kLocalNameLength, 0xFFFF, 2);
         PutLe(&zip, kLocalNameLength + 2, 0xFFFF, 2);
         return Built{zip, {Corrupt()}};
       }},
      {"TwoEntriesShareOneLocalHeader", [] {
         Member second = StoredRom();
         second.name = "copy.nes";
         second.localHeaderOffset = 0;
         return Built{Zip({StoredRom(), second}), {Listed(RomCrc())}};
       }},
      {"DataDescriptorWithZeroLocalSizes", [] {
         Member member = DeflatedRom();
         member.bitFlags = 0x08;
         std::string zip = Zip({member});
         PutLe(&zip, kLocalSizes, 0, 4);
         PutLe(&zip, kLocalSizes + 4, 0, 4);
         return Built{zip, {Listed(RomCrc())}};
       }},
      {"JunkBeforeTheArchiveOffsetsNotAdjusted", [] {
         // The directory is then read from the junk: an entry of zeros
         // without a name, and then too few bytes for another.
         std::string zip = Zip({StoredRom()});
         return Built{std::string(zip.size(), '\0') + zip, {Corrupt()}};
       }},
      {"JunkAfterTheArchive", [] {
         return Built{Zip({StoredRom()}) + std::string(500, 'j'),
                      {Listed(RomCrc())}};
       }},
      {"JunkOver1KiBAfterTheArchive", [] {
         return Built{Zip({StoredRom()}) + std::string(5000, 'j'),
                      {Listed(RomCrc())}};
       }},
  };
}

}  // namespace

std::vector<MalformedCase> ArchiveCases() {
  std::vector<MalformedCase> all;
  for (auto group : {EndRecordCases, DirectoryCases, LocalHeaderCases}) {
    std::vector<MalformedCase> cases = group();
    all.insert(all.end(), cases.begin(), cases.end());
  }
  return all;
}

std::vector<MalformedCase> AllCases() {
  std::vector<MalformedCase> all = ArchiveCases();
  std::vector<MalformedCase> members = MemberCases();
  all.insert(all.end(), members.begin(), members.end());
  return all;
}

}  // namespace malformed
