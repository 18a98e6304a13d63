#include "imagetool/identify.h"

#include <cstdio>
#include <string>

#include "core/crc32.h"
#include "core/file_load.h"
#include "core/paths.h"
#include "core/placement.h"
#include "core/run.h"
#include "imagetool/crc_reader.h"

namespace {

const unsigned char kMarkerPrefix = 0xFF;
const unsigned char kBaselineFrame = 0xC0;
// Offsets from the FF of the marker: length (2), precision (1), then the
// number of lines and the samples per line.
const uint32_t kHeightOffset = 5;
const uint32_t kWidthOffset = 7;
// Bytes from the FF up to and including the width's low byte.
const uint32_t kFrameFieldsEnd = kWidthOffset + 2;

uint16_t ReadBigEndian16(const unsigned char* bytes) {
  return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

}  // namespace

uint32_t FindJpegDimensions(const unsigned char* data, uint32_t* lengthInOut,
                            uint16_t* height, uint16_t* width) {
  const uint32_t size = *lengthInOut;
  // i < size holds throughout, so `size - i` never wraps.
  for (uint32_t i = 0; i < size && size - i >= 2; ++i) {
    if (data[i] != kMarkerPrefix || data[i + 1] != kBaselineFrame) continue;
    if (kFrameFieldsEnd > size - i) return 0;
    *height = ReadBigEndian16(data + i + kHeightOffset);
    *width = ReadBigEndian16(data + i + kWidthOffset);
    *lengthInOut = 0;
    return size;
  }
  return 0;
}

void IdentifyImageFile(const RunState& run, const std::string& foundName, FileResult* result) {
  const std::string& path = result->path;
  if (!BuildPath(run.directory.c_str(), foundName.c_str(), &result->path)) return;
  FileBuffer* buffer = ReusableFileBuffer();
  uint32_t size = 0;
  if (!LoadFile(run.open, path, buffer, &size, &result->identity)) return;
  uint32_t start = size;
  uint16_t height = 0;
  uint16_t width = 0;
  uint32_t count =
      FindJpegDimensions(buffer->bytes.get(), &start, &height, &width);
  result->crc = Crc32Compute(buffer->bytes.get(), count, start, 0);
  if (result->crc == 0 || !(run.flags & RUN_DUMP)) return;
  result->dumpLine = FormatRecordLine(foundName.c_str(), size, width, height, result->crc);
}
