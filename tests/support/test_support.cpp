// The part of the test helpers that is the same on every system.
#include "tests/support/test_support.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "tests/support/test_support_system.h"

namespace testsupport {

namespace {

void CollectFiles(const std::string& root, const std::string& relative,
                  std::vector<std::string>* out) {
  std::string folder =
      relative.empty() ? root : root + PathSeparator() + NativePath(relative);
  std::vector<std::string> files, folders;
  native::ReadFolder(folder, &files, &folders);
  for (const std::string& name : files) {
    out->push_back(relative.empty() ? name : relative + "/" + name);
  }
  for (const std::string& name : folders) {
    CollectFiles(root, relative.empty() ? name : relative + "/" + name, out);
  }
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

}  // namespace

std::string ScopedTempDir::Join(const std::string& name) const {
  return path_ + PathSeparator() + NativePath(name);
}

std::string NativePath(const std::string& relative) {
  std::string converted = relative;
  std::replace(converted.begin(), converted.end(), '/', PathSeparator());
  return converted;
}

std::string TextOutput(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += native::TextLineEnd();
    else out.push_back(c);
  }
  return out;
}

std::string WalkOrderFree(const std::string& text, size_t fixedLines) {
  if (WalkOrderIsFixed()) return text;
  std::vector<std::string> lines = SplitLines(text);
  if (lines.size() > fixedLines) {
    std::sort(lines.begin() + static_cast<std::ptrdiff_t>(fixedLines),
              lines.end());
  }
  std::string joined;
  for (const std::string& line : lines) joined += line;
  return joined;
}

std::vector<std::string> WalkOrderFree(std::vector<std::string> items) {
  if (!WalkOrderIsFixed()) std::sort(items.begin(), items.end());
  return items;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string FixturePath(const std::string& relative) {
  return std::string(SORTERS_FIXTURES_DIR) + "/" + relative;
}

std::string RandomBytes(size_t length, uint32_t seed) {
  std::mt19937 generator(seed);
  std::string bytes(length, '\0');
  for (char& c : bytes) c = static_cast<char>(generator() & 0xFF);
  return bytes;
}

std::vector<std::string> ListFiles(const std::string& root) {
  std::vector<std::string> files;
  CollectFiles(root, "", &files);
  std::sort(files.begin(), files.end());
  return files;
}

std::multiset<std::string> SnapshotContents(const std::string& root) {
  std::multiset<std::string> contents;
  for (const std::string& file : ListFiles(root)) {
    contents.insert(ReadFile(root + PathSeparator() + NativePath(file)));
  }
  return contents;
}

uint32_t ReferenceCrc(const std::string& bytes) {
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()),
              static_cast<uInt>(bytes.size()));
  return static_cast<uint32_t>(crc);
}

std::string Hex8(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

}  // namespace testsupport
