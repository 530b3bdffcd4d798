// What a shell command prints, for benchmarks that take their texts from
// bench/vs_peers.pl; a command that fails ends the benchmark.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

inline std::string ShellOutput(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) std::abort();
  std::string out;
  char buffer[1 << 16];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
  if (pclose(pipe) != 0) std::abort();
  return out;
}
