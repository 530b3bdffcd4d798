#include "conversion/utf8_to_shift_jis.h"

#include <endian.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "conversion/cp932_tables.h"
#include "conversion/crlf_block_output.h"
#include "conversion/shift_jis_converters.h"
#include "conversion/shift_jis_output.h"
#include "conversion/utf8_block64.h"
#include "conversion/utf8_sequence.h"

namespace ostrevin {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

}  // namespace

template <class Out>
void Utf8Into(std::string_view source, Out& out, bool text_start) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(source.data());
  const std::size_t size = source.size();
  std::size_t at = text_start && source.starts_with(kBom) ? kBom.size() : 0;
  // Blocks where they can. What stops a block is taken one step at a time;
  // after a block that stopped early (text of another kind: Cyrillic, say,
  // two bytes a letter), the steps go on for a while, twice as long after
  // each such block in a row.
  std::uint8_t block_buffer[kUtf8BlockBuffer];
  std::size_t blocks_from = 0;
  std::size_t pause = 64;
  while (at < size) {
    if (kHaveBlocks64 && at >= blocks_from && size - at >= kUtf8BlockReads) {
      if (out.ReserveBlock()) {
        const Utf8Block block = Utf8Block64(bytes + at, block_buffer);
        out.Block64(block_buffer + kUtf8BlockText, block.written);
        at += block.read;
        if (block.read >= 16) {
          // Unless the block ended in a sequence that its end cuts (62, 63).
          if (block.read < 62) blocks_from = at + 1;
          pause = 64;
        } else {
          blocks_from = at + pause;
          pause = std::min<std::size_t>(2 * pause, 4096);
        }
        continue;
      }
      blocks_from = at + 64;
    }
    out.Reserve();
    // ASCII goes over unchanged, up to eight bytes at a time.
    const std::uint8_t b0 = bytes[at];
    if (b0 < 0x80 && size - at >= 8) {
      std::uint64_t word;
      std::memcpy(&word, bytes + at, 8);
      word = le64toh(word) & kHighBits;
      const std::size_t ascii = word == 0 ? 8 : static_cast<std::size_t>(__builtin_ctzll(word)) / 8;
      out.Word8(bytes + at, ascii);
      at += ascii;
      continue;
    }
    // Kana and kanji: a three-byte sequence whose lead (E1-EC, EE, EF) takes
    // any two continuation bytes, so no overlong form or surrogate can hide
    // here. What does not fit this shape, or has no code, is decoded below.
    if (b0 >= 0xE1 && b0 <= 0xEF && b0 != 0xED && size - at >= 3 &&
        (bytes[at + 1] & 0xC0) == 0x80 && (bytes[at + 2] & 0xC0) == 0x80) {
      const char32_t code_point = (char32_t{b0} & 0x0F) << 12 |
                                  (char32_t{bytes[at + 1]} & 0x3F) << 6 |
                                  (char32_t{bytes[at + 2]} & 0x3F);
      if (const std::uint16_t code = cp932::kFromBmp[code_point]; code != 0) {
        out.Code(code);
        at += 3;
        continue;
      }
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
}

template void Utf8Into(std::string_view, ShiftJisOutput&, bool);
template void Utf8Into(std::string_view, CrLfBlockOutput&, bool);

CodeConversion Utf8ToShiftJis(std::string& text, Unconvertible mode) {
  return ShiftJisOutput::Convert(text, mode, [](std::string_view source, ShiftJisOutput& out) {
    Utf8Into(source, out, true);
  });
}

}  // namespace ostrevin
