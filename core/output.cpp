#include "core/output.h"

#include <cstdarg>

namespace {

thread_local MessageLog* t_log = nullptr;

std::string FormatArguments(const char* format, va_list arguments) {
  va_list again;
  va_copy(again, arguments);
  int length = std::vsnprintf(nullptr, 0, format, arguments);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  std::vsnprintf(&text[0], text.size() + 1, format, again);
  va_end(again);
  return text;
}

}  // namespace

std::string Format(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::string text = FormatArguments(format, arguments);
  va_end(arguments);
  return text;
}

void Say(std::FILE* stream, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  if (t_log == nullptr) {
    std::vfprintf(stream, format, arguments);
  } else {
    t_log->lines.emplace_back(stream, FormatArguments(format, arguments));
  }
  va_end(arguments);
}

void CollectMessages(MessageLog* log) { t_log = log; }

void WriteMessages(const MessageLog& log) {
  for (const auto& line : log.lines) std::fputs(line.second.c_str(), line.first);
}
