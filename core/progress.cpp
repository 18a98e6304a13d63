#include "core/progress.h"

#include <cstdio>

#include "core/platform.h"

namespace {

// 1234567 as "1,234,567".
std::string Grouped(uint64_t number) {
  std::string digits = std::to_string(number), grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped.push_back(',');
    grouped.push_back(digits[i]);
  }
  return grouped;
}

// The unit that `most` bytes are told in, and its size.
const char* UnitOf(uint64_t most, double* size) {
  const char* units[] = {"bytes", "kB", "MB", "GB", "TB"};
  int unit = 0;
  for (*size = 1; unit < 4 && most >= *size * 1000; ++unit) *size *= 1000;
  return units[unit];
}

// Seconds as "m:ss", or "h:mm:ss" from an hour on.
std::string Clock(uint64_t seconds) {
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", (unsigned long long)(seconds / 3600),
                  (unsigned long long)(seconds / 60 % 60), (unsigned long long)(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%llu:%02llu", (unsigned long long)(seconds / 60),
                  (unsigned long long)(seconds % 60));
  }
  return text;
}

}  // namespace

std::string ProgressLine(const Progress& progress, double seconds, size_t width) {
  double size = 1, rateSize = 1;
  const char* unit = UnitOf(progress.bytes, &size);
  double rate = seconds > 0 ? progress.bytesDone / seconds : 0;
  const char* rateUnit = UnitOf(static_cast<uint64_t>(rate), &rateSize);
  char amounts[128];
  std::snprintf(amounts, sizeof amounts, "%.1f of %.1f %s, %.1f %s/s", progress.bytesDone / size,
                progress.bytes / size, unit, rate / rateSize, rateUnit);
  std::string line = progress.tool + ": " + Grouped(progress.filesDone) + " of " +
                     Grouped(progress.files) + " files, " + amounts;
  if (seconds >= 2 && rate > 0 && progress.bytes >= progress.bytesDone) {
    line += ", about " + Clock(static_cast<uint64_t>((progress.bytes - progress.bytesDone) / rate)) + " left";
  }
  // Never wrapped: a wrapped line could not be rewritten in place.
  if (width > 0 && line.size() >= width) line.resize(width - 1);
  return line;
}

void ProgressStartWalk(Progress* progress, uint64_t files, uint64_t bytes) {
  progress->filesDone = progress->bytesDone = 0;
  progress->files = files;
  progress->bytes = bytes;
}

void ProgressClear(Progress* progress) {
  if (progress->shownLength == 0) return;
  std::fprintf(stderr, "\r%*s\r", static_cast<int>(progress->shownLength), "");
  progress->shownLength = 0;
}

void ProgressFileDone(Progress* progress, uint64_t bytes) {
  ++progress->filesDone;
  progress->bytesDone += bytes;
  if (!progress->on) return;
  Progress::Clock::time_point now = Progress::Clock::now();
  if (now - progress->start < progress->delay ||
      now - progress->drawn < std::chrono::milliseconds(100)) {
    return;
  }
  progress->drawn = now;
  double seconds = std::chrono::duration<double>(now - progress->start).count();
  std::string line = ProgressLine(*progress, seconds, PlatformTerminalWidth());
  // Spaces past the end cover what a longer line before left.
  size_t covered = line.size() < progress->shownLength ? progress->shownLength - line.size() : 0;
  std::fprintf(stderr, "\r%s%*s", line.c_str(), static_cast<int>(covered), "");
  std::fflush(stderr);
  progress->shownLength = line.size() + covered;
}
