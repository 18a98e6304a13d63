// The floor that the tools' dump mode is measured against: open, size and
// read every regular file of the current directory whose name ends with
// one of the given endings, once, into one reused buffer, and nothing else.
//   read_floor .bin [.a26 ...]
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
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

}  // namespace

int main(int argc, char** argv) {
  DIR* folder = opendir(".");
  if (folder == nullptr) return 1;
  std::vector<unsigned char> buffer;
  size_t files = 0;
  size_t bytes = 0;
  while (struct dirent* entry = readdir(folder)) {
    if (entry->d_name[0] == '.') continue;
    if (!EndsWithOneOf(entry->d_name, argc - 1, argv + 1)) continue;
    bytes += ReadWhole(entry->d_name, &buffer);
    ++files;
  }
  closedir(folder);
  std::printf("%zu files, %zu bytes\n", files, bytes);
  return 0;
}
