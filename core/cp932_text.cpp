// Code page 932 to UTF-8 for display, through glibc iconv.
#include "core/cp932_text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

#include "core/shift_jis.h"

namespace ostrevin {
namespace {

// Owns one iconv conversion descriptor.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  ~Converter() {
    if (ok()) ::iconv_close(cd_);
  }
  [[nodiscard]] bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  [[nodiscard]] iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

void AppendUnmappable(std::string& out, std::string_view character, Cp932Unmappable mode) {
  if (mode == Cp932Unmappable::kReplacement) {
    out += "\xEF\xBF\xBD";  // U+FFFD
    return;
  }
  static const char kDigits[] = "0123456789ABCDEF";
  out += '<';
  for (unsigned char c : character) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  out += '>';
}

// Converts all of `bytes` with `converter` into `out`; false when some input
// cannot be converted (EILSEQ, EINVAL) or there is no converter.
bool ConvertWhole(const Converter& converter, std::string_view bytes, std::string& out) {
  if (!converter.ok()) return false;
  // Four output bytes per input byte hold UTF-32 from UTF-8 and CP932 from
  // UTF-8 alike; the buffer grows should it not.
  out.resize(bytes.size() * 4 + 4);
  char* in = const_cast<char*>(bytes.data());  // iconv's signature is not const
  std::size_t in_left = bytes.size();
  std::size_t written = 0;
  while (true) {
    char* dest = out.data() + written;
    std::size_t dest_left = out.size() - written;
    const std::size_t result = ::iconv(converter.get(), &in, &in_left, &dest, &dest_left);
    written = static_cast<std::size_t>(dest - out.data());
    if (result != static_cast<std::size_t>(-1)) break;
    if (errno != E2BIG) return false;
    out.resize(out.size() * 2);
  }
  out.resize(written);
  return true;
}

// Length of the character at `at` for the unmappable case: a lead byte takes
// the next byte with it only when that byte is a trail byte.
std::size_t BadCharacterLength(std::string_view bytes, std::size_t at) {
  const auto lead = static_cast<std::uint8_t>(bytes[at]);
  if (!sjis::IsLeadByte(lead) || at + 1 >= bytes.size()) return 1;
  return sjis::IsTrailByte(static_cast<std::uint8_t>(bytes[at + 1])) ? 2 : 1;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes, Cp932Unmappable unmappable) {
  std::string out;
  Converter converter("UTF-8", "CP932");
  if (!converter.ok()) {
    // No CP932 module: show every non-ASCII character as unmappable.
    for (std::size_t at = 0; at < bytes.size();) {
      const std::size_t length =
          static_cast<std::uint8_t>(bytes[at]) < 0x80 ? 1 : BadCharacterLength(bytes, at);
      if (length == 1 && static_cast<std::uint8_t>(bytes[at]) < 0x80) {
        out += bytes[at];
      } else {
        AppendUnmappable(out, bytes.substr(at, length), unmappable);
      }
      at += length;
    }
    return out;
  }

  // A CP932 character becomes at most 3 bytes of UTF-8, about 3 per input
  // byte; a shown code (<A0>: 4 for 1) may need more, and the buffer grows.
  out.resize(bytes.size() * 3 + 16);
  std::size_t written = 0;
  std::size_t at = 0;
  while (at < bytes.size()) {
    char* in = const_cast<char*>(bytes.data() + at);  // iconv's signature is not const
    std::size_t in_left = bytes.size() - at;
    char* dest = out.data() + written;
    std::size_t dest_left = out.size() - written;
    const std::size_t result = ::iconv(converter.get(), &in, &in_left, &dest, &dest_left);
    at = static_cast<std::size_t>(in - bytes.data());
    written = static_cast<std::size_t>(dest - out.data());
    if (result != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ (unmapped or malformed) or EINVAL (incomplete at the end).
    const std::size_t length = BadCharacterLength(bytes, at);
    std::string shown;
    AppendUnmappable(shown, bytes.substr(at, length), unmappable);
    if (out.size() - written < shown.size()) out.resize(out.size() * 2 + shown.size());
    out.replace(written, shown.size(), shown);
    written += shown.size();
    at += length;
    ::iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  }
  out.resize(written);
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  std::string ignored;
  return ConvertWhole(Converter("UTF-32LE", "UTF-8"), bytes, ignored);
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  std::string out;
  if (!ConvertWhole(Converter("CP932", "UTF-8"), utf8, out)) return std::nullopt;
  return out;
}

}  // namespace ostrevin
