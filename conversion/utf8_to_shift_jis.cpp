#include "conversion/utf8_to_shift_jis.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "conversion/cp932_tables.h"
#include "conversion/shift_jis_output.h"
#include "conversion/utf8_sequence.h"

namespace ostrevin {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

}  // namespace

CodeConversion Utf8ToShiftJis(std::string& text, Unconvertible mode) {
  const std::size_t start = std::string_view(text).starts_with(kBom) ? kBom.size() : 0;
  const std::string_view source(text);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(source.data());
  const std::size_t size = source.size();
  ShiftJisOutput out(source, mode);
  std::size_t at = start;
  while (at < size) {
    // ASCII goes over unchanged, eight bytes at a time where it can.
    std::uint64_t word;
    if (at + 8 <= size && (std::memcpy(&word, bytes + at, 8), (word & kHighBits) == 0)) {
      out.Copy(at, 8);
      at += 8;
      continue;
    }
    const utf8::Sequence sequence = utf8::Decode(bytes + at, size - at);
    if (!sequence.valid) {
      if (!out.CannotConvert(at, sequence.length, ProblemKind::kInvalidBytes)) break;
    } else if (sequence.code_point < 0x80) {
      out.Byte(static_cast<std::uint8_t>(sequence.code_point));
    } else if (const std::uint16_t code = cp932::FromCodePoint(sequence.code_point); code != 0) {
      out.Code(code);
    } else if (!out.CannotConvert(at, sequence.length, ProblemKind::kUnmappable,
                                  sequence.code_point)) {
      break;
    }
    at += sequence.length;
  }
  return out.Finish(text);
}

}  // namespace ostrevin
