// The floors that the tools are measured against. Dump mode: open, size
// and read every regular file of the current directory whose name ends
// with one of the given endings, once, into one reused buffer per thread,
// and nothing else. Rename mode's moves: move each such file into a
// folder, with the same no-replace rename the tools use, and nothing else.
// And for cold runs: drop the files from the page cache.
//   read_floor [--threads N] .bin [.a26 ...]
//   read_floor --move-into FOLDER .a26 [...]
//   read_floor --evict .bin [...]
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

bool EndsWithOneOf(const char* name, int count, char** endings) {
  size_t length = std::strlen(name);
  for (int i = 0; i < count; ++i) {
    size_t ending = std::strlen(endings[i]);
    if (length >= ending && std::strcmp(name + length - ending, endings[i]) == 0) {
      return true;
    }
  }
  return false;
}

// Reads the whole file; returns the bytes read.
size_t ReadWhole(const char* name, std::vector<unsigned char>* buffer) {
  int fd = open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat info;
  size_t done = 0;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    size_t size = static_cast<size_t>(info.st_size);
    if (buffer->size() < size) buffer->resize(size);
    while (done < size) {
      ssize_t got = read(fd, buffer->data() + done, size - done);
      if (got <= 0) break;
      done += static_cast<size_t>(got);
    }
  }
  close(fd);
  return done;
}

// Asks the kernel to forget the cached pages of the file; returns 1.
size_t Evict(const char* name) {
  int fd = open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  close(fd);
  return 1;
}

// Reads every file of `names` on `threads` threads, each taking the next
// name in turn; returns the bytes read.
size_t ReadAll(const std::vector<std::string>& names, int threads) {
  std::atomic<size_t> next{0}, done{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < threads; ++i) {
    readers.emplace_back([&] {
      std::vector<unsigned char> buffer;
      for (size_t k; (k = next++) < names.size();) done += ReadWhole(names[k].c_str(), &buffer);
    });
  }
  for (std::thread& reader : readers) reader.join();
  return done;
}

}  // namespace

// Moves `name` into `folder`; returns 1 when it moved.
size_t MoveInto(const char* name, const std::string& folder) {
  std::string target = folder + "/" + name;
  return renameat2(AT_FDCWD, name, AT_FDCWD, target.c_str(),
                   RENAME_NOREPLACE) == 0;
}

int main(int argc, char** argv) {
  std::string moveInto;
  int threads = 1;
  bool evict = false;
  int skipped = 0;
  if (argc >= 3 && std::strcmp(argv[1], "--move-into") == 0) {
    moveInto = argv[2];
    skipped = 2;
  } else if (argc >= 3 && std::strcmp(argv[1], "--threads") == 0) {
    threads = std::atoi(argv[2]);
    skipped = 2;
  } else if (argc >= 2 && std::strcmp(argv[1], "--evict") == 0) {
    evict = true;
    skipped = 1;
  }
  argc -= skipped;
  argv += skipped;
  // The whole listing first, as the tools take it.
  std::vector<std::string> names;
  DIR* folder = opendir(".");
  if (folder == nullptr) return 1;
  while (struct dirent* entry = readdir(folder)) {
    if (entry->d_name[0] == '.') continue;
    if (EndsWithOneOf(entry->d_name, argc - 1, argv + 1)) {
      names.push_back(entry->d_name);
    }
  }
  closedir(folder);
  size_t done = 0;
  if (moveInto.empty() && !evict) done = ReadAll(names, threads);
  for (const std::string& name : names) {
    if (evict) done += Evict(name.c_str());
    if (!moveInto.empty()) done += MoveInto(name.c_str(), moveInto);
  }
  std::printf("%zu files, %zu %s\n", names.size(), done,
              evict ? "evicted" : moveInto.empty() ? "bytes" : "moved");
  return 0;
}
