// Runs a shell command line for tests of the built programs and gives back
// its exit status, standard output and standard error.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

namespace ostrevin::testing {

struct CommandRun {
  int status = -1;  // exit status, -1 when the command did not exit normally
  std::string out;
  std::string err;
};

// `arg` as one single-quoted shell word.
inline std::string ShellQuote(std::string_view arg) {
  std::string out = "'";
  for (const char c : arg) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

// Runs `command` (a shell command line whose last command takes the
// redirections) with standard input from `stdin_path`.
inline CommandRun RunCommand(const std::string& command,
                             const std::string& stdin_path = "/dev/null") {
  auto slurp_and_remove = [](char* path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::remove(path);
    return bytes;
  };
  char out_path[] = "/tmp/ostrevin-out-XXXXXX";
  char err_path[] = "/tmp/ostrevin-err-XXXXXX";
  const int out_fd = ::mkstemp(out_path);
  const int err_fd = ::mkstemp(err_path);
  CommandRun run;
  if (out_fd >= 0) ::close(out_fd);
  if (err_fd >= 0) ::close(err_fd);
  if (out_fd < 0 || err_fd < 0) return run;
  const std::string line = command + " <" + ShellQuote(stdin_path) + " >" + ShellQuote(out_path) +
                           " 2>" + ShellQuote(err_path);
  const int raw = std::system(line.c_str());
  run.status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = slurp_and_remove(out_path);
  run.err = slurp_and_remove(err_path);
  return run;
}

}  // namespace ostrevin::testing
