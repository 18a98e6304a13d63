// Identifying JPEG pictures: the image tool's per-file function and the
// probe that finds a picture's pixel size.
#ifndef IMAGETOOL_IDENTIFY_H_
#define IMAGETOOL_IDENTIFY_H_

#include <cstdint>
#include <string>

#include "core/run.h"

// Looks for the first byte pair FF C0 (a baseline frame header) anywhere in
// the `*lengthInOut` bytes of `data`, without following the segment
// structure: a pair inside another segment, such as the frame header of an
// embedded thumbnail, counts, and so does one in a file that is no JPEG.
// The height stands 5 bytes and the width 7 bytes after the FF, each as
// two big-endian bytes.
//
// Found: stores `height` and `width`, sets `*lengthInOut` to 0 (the start
// of the range to checksum) and returns the data length (the whole file).
// Not found: returns 0 and leaves `*lengthInOut`, `height` and `width`
// unchanged. Never reads past the data: a 0xFF in the last byte is no
// pair, and a first pair whose height or width bytes would lie past the
// end counts as not found (any later pair would be shorter still).
uint32_t FindJpegDimensions(const unsigned char* data, uint32_t* lengthInOut,
                            uint16_t* height, uint16_t* width);

// Reads the file `directory` followed by `foundName` (or `foundName`
// alone when `directory` is null) and, when it holds a frame header,
// computes the CRC-32 of the whole file into `result`, with, in dump mode,
// the record line "%-12s  %9u  %4u x %4u  %0x\n" (bare name, size, width,
// height, CRC-32) as its dump line. Files without a frame header, or with a CRC-32
// of 0, give nothing; a file that cannot be read is reported by LoadFile.
// Any thread.
void IdentifyImageFile(const RunState& run, const std::string& foundName, FileResult* result);

#endif  // IMAGETOOL_IDENTIFY_H_
