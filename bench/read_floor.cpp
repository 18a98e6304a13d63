// The floors that the tools are measured against. Dump mode: open, size
// and read every regular file of the current directory whose name ends
// with one of the given endings, once, into one reused buffer, and nothing
// else. Rename mode's moves: move each such file into a folder, with the
// same no-replace rename the tools use, and nothing else.
//   read_floor .bin [.a26 ...]
//   read_floor --move-into FOLDER .a26 [...]
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

// Moves `name` into `folder`; returns 1 when it moved.
size_t MoveInto(const char* name, const std::string& folder) {
  std::string target = folder + "/" + name;
  return renameat2(AT_FDCWD, name, AT_FDCWD, target.c_str(),
                   RENAME_NOREPLACE) == 0;
}

int main(int argc, char** argv) {
  std::string moveInto;
  if (argc >= 3 && std::strcmp(argv[1], "--move-into") == 0) {
    moveInto = argv[2];
    argc -= 2;
    argv += 2;
  }
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
  std::vector<unsigned char> buffer;
  size_t done = 0;
  for (const std::string& name : names) {
    done += moveInto.empty() ? ReadWhole(name.c_str(), &buffer)
                             : MoveInto(name.c_str(), moveInto);
  }
  std::printf("%zu files, %zu %s\n", names.size(), done,
              moveInto.empty() ? "bytes" : "moved");
  return 0;
}
