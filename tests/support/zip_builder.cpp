#include "tests/support/zip_builder.h"

#include <zlib.h>

#include <stdexcept>

namespace zipbuilder {
namespace {

void PutLe(std::string* out, uint32_t value, int width) {
  for (int i = 0; i < width; ++i) {
    out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  }
}

const uint16_t kModTime = 0x6000;  // 12:00:00
const uint16_t kModDate = 0x5A21;  // 2025-01-01

std::string LocalHeader(const Member& member) {
  std::string out;
  std::string extra = member.localExtra + member.extra;
  PutLe(&out, 0x04034B50, 4);
  out.push_back(static_cast<char>(member.versionNeeded));
  out.push_back(static_cast<char>(member.systemNeeded));
  PutLe(&out, member.bitFlags, 2);
  PutLe(&out, member.method, 2);
  PutLe(&out, kModTime, 2);
  PutLe(&out, kModDate, 2);
  PutLe(&out, member.crc32, 4);
  PutLe(&out, member.compressedSize, 4);
  PutLe(&out, member.uncompressedSize, 4);
  PutLe(&out, static_cast<uint32_t>(member.name.size()), 2);
  PutLe(&out, static_cast<uint32_t>(extra.size()), 2);
  return out + member.name + extra;
}

std::string DirectoryEntry(const Member& member, uint32_t localOffset) {
  std::string out;
  PutLe(&out, 0x02014B50, 4);
  out.push_back(20);  // made by version 2.0
  out.push_back(0);   // on MS-DOS
  out.push_back(static_cast<char>(member.versionNeeded));
  out.push_back(static_cast<char>(member.systemNeeded));
  PutLe(&out, member.bitFlags, 2);
  PutLe(&out, member.method, 2);
  PutLe(&out, kModTime, 2);
  PutLe(&out, kModDate, 2);
  PutLe(&out, member.crc32, 4);
  PutLe(&out, member.compressedSize, 4);
  PutLe(&out, member.uncompressedSize, 4);
  PutLe(&out, member.nameLengthInEntry.value_or(member.name.size()), 2);
  PutLe(&out, static_cast<uint32_t>(member.extra.size()), 2);
  PutLe(&out, static_cast<uint32_t>(member.entryComment.size()), 2);
  PutLe(&out, member.diskStart, 2);
  PutLe(&out, 0, 2);  // internal attributes
  PutLe(&out, 0, 4);  // external attributes
  PutLe(&out, member.localHeaderOffset.value_or(localOffset), 4);
  return out + member.name + member.extra + member.entryComment;
}

uint32_t Crc(const std::string& bytes) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()),
            static_cast<uInt>(bytes.size())));
}

}  // namespace

std::string RawDeflate(const std::string& content) {
  z_stream deflater = {};
  if (deflateInit2(&deflater, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::string out(deflateBound(&deflater, content.size()), '\0');
  deflater.next_in =
      reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
  deflater.avail_in = static_cast<uInt>(content.size());
  deflater.next_out = reinterpret_cast<Bytef*>(&out[0]);
  deflater.avail_out = static_cast<uInt>(out.size());
  int status = deflate(&deflater, Z_FINISH);
  deflateEnd(&deflater);
  if (status != Z_STREAM_END) throw std::runtime_error("deflate failed");
  out.resize(deflater.total_out);
  return out;
}

Member StoredMember(const std::string& name, const std::string& content) {
  Member member;
  member.name = name;
  member.data = content;
  member.versionNeeded = 10;
  member.crc32 = Crc(content);
  member.compressedSize = static_cast<uint32_t>(content.size());
  member.uncompressedSize = static_cast<uint32_t>(content.size());
  return member;
}

Member DeflatedMember(const std::string& name, const std::string& content) {
  Member member = StoredMember(name, content);
  member.data = RawDeflate(content);
  member.versionNeeded = 20;
  member.method = 8;
  member.compressedSize = static_cast<uint32_t>(member.data.size());
  return member;
}

std::string Build(const Archive& archive) {
  std::string out;
  std::string directory;
  for (const Member& member : archive.members) {
    directory += DirectoryEntry(member, static_cast<uint32_t>(out.size()));
    out += LocalHeader(member) + member.data;
  }
  uint32_t directoryOffset = static_cast<uint32_t>(out.size());
  uint16_t count = static_cast<uint16_t>(archive.members.size());
  out += directory;
  PutLe(&out, 0x06054B50, 4);
  PutLe(&out, archive.diskNumber, 2);
  PutLe(&out, archive.centralDirDisk, 2);
  PutLe(&out, archive.diskEntries.value_or(count), 2);
  PutLe(&out, archive.totalEntries.value_or(count), 2);
  PutLe(&out, archive.centralDirSize.value_or(directory.size()), 4);
  PutLe(&out, archive.centralDirOffset.value_or(directoryOffset), 4);
  PutLe(&out, archive.commentLength.value_or(archive.comment.size()), 2);
  return out + archive.comment;
}

}  // namespace zipbuilder
