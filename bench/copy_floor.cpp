// The floor of a conversion run on this machine, for bench/vs_peers.sh:
// reads each file whole and writes it unchanged as a new file in a folder,
// then flushes that folder's file system once. Every converter that writes
// new files and promises them to the disk does at least this much.
// Usage: copy_floor DIR FILE...
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// In blocks, as the converter writes, starting the disk writes every MiB as
// it does.
bool WriteAll(int fd, const char* data, std::size_t size) {
  constexpr std::size_t kBlock = std::size_t{1} << 16;
  constexpr off_t kStep = off_t{1} << 20;
  off_t written = 0;
  off_t started = 0;
  while (size > 0) {
    const ssize_t wrote = write(fd, data, size < kBlock ? size : kBlock);
    if (wrote <= 0) return false;
    data += wrote;
    size -= static_cast<std::size_t>(wrote);
    written += wrote;
    if (written - started >= kStep) {
      (void)sync_file_range(fd, started, written - started, SYNC_FILE_RANGE_WRITE);
      started = written;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: copy_floor DIR FILE...\n");
    return 2;
  }
  const std::string folder = argv[1];
  std::vector<char> buffer;
  int last = -1;
  for (int i = 2; i < argc; ++i) {
    const int in = open(argv[i], O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (in < 0 || fstat(in, &info) != 0) {
      std::perror(argv[i]);
      return 1;
    }
    buffer.resize(static_cast<std::size_t>(info.st_size));
    const ssize_t got = read(in, buffer.data(), buffer.size());
    close(in);
    const std::string path = argv[i];
    const std::string out_path = folder + "/" + path.substr(path.rfind('/') + 1);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (got < 0 || out < 0 || !WriteAll(out, buffer.data(), static_cast<std::size_t>(got))) {
      std::perror(out_path.c_str());
      return 1;
    }
    if (last >= 0) close(last);
    last = out;
  }
  if (syncfs(last) != 0) {
    std::perror(folder.c_str());
    return 1;
  }
  close(last);
  return 0;
}
