// The messages that the work on one file writes. On the thread that runs
// the program they go straight to their stream; a thread that identifies
// files for it collects them instead, so that they can be written later,
// in the order of the walk, as if one file at a time had been read.
#ifndef CORE_OUTPUT_H_
#define CORE_OUTPUT_H_

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

// Messages in the order they were said, each with its stream.
struct MessageLog {
  std::vector<std::pair<std::FILE*, std::string>> lines;
};

// `format` with its arguments, as printf writes them.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes `format` with its arguments (as printf) to `stream`, or adds it to
// the log that this thread collects into.
void Say(std::FILE* stream, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Makes this thread collect what it says into `log`; null makes it write
// straight to the streams again.
void CollectMessages(MessageLog* log);

// Writes the messages of `log` to their streams, in order.
void WriteMessages(const MessageLog& log);

#endif  // CORE_OUTPUT_H_
