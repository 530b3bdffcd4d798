// Bytes as hexadecimal pairs, for failure messages of byte-exact tests.
#pragma once

#include <string>
#include <string_view>

namespace ostrevin::testing {

// "82 A0 0D 0A" for the bytes 0x82 0xA0 CR LF.
[[nodiscard]] inline std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (!out.empty()) out.push_back(' ');
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

}  // namespace ostrevin::testing
