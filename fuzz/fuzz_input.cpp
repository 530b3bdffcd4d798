#include "fuzz/fuzz_input.h"

#include <cstdio>
#include <cstdlib>

namespace ostrevin::fuzz {

std::uint8_t FuzzInput::TakeByte() {
  if (rest_.empty()) return 0;
  const auto b = static_cast<std::uint8_t>(rest_.front());
  rest_.remove_prefix(1);
  return b;
}

std::string_view FuzzInput::TakeField(char separator) {
  const std::size_t end = rest_.find(separator);
  const std::string_view field = rest_.substr(0, end);
  rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
  return field;
}

std::string Hex(std::string_view bytes, std::size_t limit) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (i > 0) out.push_back(' ');
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  if (bytes.size() > limit) out += " ...";
  return out;
}

void Require(bool holds, const char* property, std::string_view detail) {
  if (holds) return;
  std::fprintf(stderr, "PROPERTY FAILED: %s\n%.*s\n", property, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

}  // namespace ostrevin::fuzz
