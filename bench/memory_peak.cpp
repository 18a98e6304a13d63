// Peak memory of a dump with 1, 2 and 16 identifying threads, beside the
// largest file and the threads' memory budget: each count runs in a child
// process of its own, whose peak the system measures.
//   memory_peak FOLDER FILES MIB    makes FILES sparse files of MIB MiB in
//                                   FOLDER (anew) and prints a table
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/memory_budget.h"
#include "core/run.h"
#include "romtool/tool.h"

namespace fs = std::filesystem;

// The peak resident memory, in MiB, of a dump of FOLDER with `threads`.
long PeakWith(const fs::path& folder, int threads) {
  std::fflush(stdout);  // or the child would write it again
  pid_t child = fork();
  if (child == 0) {
    fs::current_path(folder);
    if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) _exit(1);
    RunSeams seams;
    seams.identifyThreads = threads;
    std::string args[] = {"Tessary", "-d", "*.nes"};
    char* argv[] = {&args[0][0], &args[1][0], &args[2][0]};
    _exit(RunTool(RomTool(), 3, argv, seams));
  }
  int status = 0;
  waitpid(child, &status, 0);
  struct rusage usage;
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_maxrss / 1024;  // the largest of the children so far
}

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: memory_peak FOLDER FILES MIB\n");
    return 2;
  }
  fs::path folder = argv[1];
  int files = std::atoi(argv[2]);
  long mib = std::atol(argv[3]);
  fs::remove_all(folder);
  fs::create_directories(folder);
  for (int i = 0; i < files; ++i) {
    fs::path file = folder / ("f" + std::to_string(i) + ".nes");
    std::ofstream(file).close();
    fs::resize_file(file, static_cast<uintmax_t>(mib) << 20);
  }
  std::printf("\n## Peak memory by identifying threads\n\n");
  std::printf("%d files of %ld MiB; budget %zu MiB.\n\n", files, mib, DefaultMemoryBudget() >> 20);
  std::printf("| threads | peak |\n|---|---|\n");
  // Smallest count first: a child's peak is the largest so far.
  for (int threads : {1, 2, 16}) std::printf("| %d | %ld MiB |\n", threads, PeakWith(folder, threads));
  fs::remove_all(folder);
  return 0;
}
