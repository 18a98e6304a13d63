// Identifying the files of one walk on several threads, while everything
// the outside world sees (the output, the moves) happens on the calling
// thread, in walk order, exactly as if one file at a time had been read.
//
// The rule for code that the threads run (the identify function and all
// it calls): it reads and computes, and says what it has to say through
// Say (core/output.h), never by printing; it moves nothing and changes no
// state that the calling thread reads.
#ifndef CORE_PIPELINE_H_
#define CORE_PIPELINE_H_

#include <functional>
#include <string>
#include <vector>

#include "core/file_result.h"

// Runs identify(name, result) for each of `names` on `threads` threads (on
// the calling thread alone for 1) and finish(result) on the calling thread
// for each, strictly in the order of `names`. No more than 4 x 16 files a
// thread are taken ahead of the one being finished, and each thread holds
// one file's contents at a time, so that memory does not grow with the
// folder.
void RunPipeline(const std::vector<std::string>& names, int threads,
                 const std::function<void(const std::string&, FileResult*)>& identify,
                 const std::function<void(FileResult*)>& finish);

#endif  // CORE_PIPELINE_H_
