// The C library's iconv on whole texts in memory, as an oracle for the
// converters.
#pragma once

#include <iconv.h>

#include <string>

namespace ostrevin::testing {

// One conversion descriptor, from `from` to `to`, for many texts.
class Iconv {
 public:
  Iconv(const char* from, const char* to) : cd_(iconv_open(to, from)) {}
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  ~Iconv() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }

  // Converts `text` whole; false when there is no such converter or iconv
  // refuses any of the text.
  [[nodiscard]] bool Convert(const std::string& text, std::string& out) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.assign(text.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(text.data());  // iconv's signature is not const
    std::size_t in_left = text.size();
    char* dest = out.data();
    std::size_t dest_left = out.size();
    const bool ok = iconv(cd_, &in, &in_left, &dest, &dest_left) != static_cast<std::size_t>(-1) &&
                    iconv(cd_, nullptr, nullptr, &dest, &dest_left) != static_cast<std::size_t>(-1);
    out.resize(out.size() - dest_left);
    return ok;
  }

 private:
  iconv_t cd_;
};

}  // namespace ostrevin::testing
