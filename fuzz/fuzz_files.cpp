#include "fuzz/fuzz_files.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "fuzz/fuzz_input.h"

namespace ostrevin::fuzz {

ScratchFolder::ScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "ostrevin-fuzz-XXXXXX").string();
  Require(mkdtemp(pattern.data()) != nullptr, "scratch folder can be made");
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ScratchFolder::operator/(std::string_view name) const {
  return path_ + "/" + std::string(name);
}

std::string ScratchFolder::Write(std::string_view name, std::string_view bytes) const {
  const std::string path = *this / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  Require(out.good(), "scratch file can be written", path);
  return path;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace ostrevin::fuzz
