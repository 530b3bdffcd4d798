// Strict decoding of one UTF-8 sequence, shared by the detection and the
// conversion so that both call the same bytes valid; and encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ostrevin::utf8 {

struct Sequence {
  std::uint8_t length;  // valid: the sequence's length; invalid: see below
  bool valid;
  char32_t code_point;  // valid only
};

// Decodes the sequence that starts at p[0], with `available` (at least 1)
// bytes from p on. Valid means well-formed as the Unicode standard defines
// it: no overlong form (C0, C1, E0 80-9F, F0 80-8F), no surrogate (ED A0-BF),
// nothing above U+10FFFF (F4 90-BF, F5-FF).
//
// Malformed input: `length` is the longest start of a valid sequence found
// there (at least 1 byte), so a decoder that steps over it resynchronises at
// the first byte that cannot continue the sequence, which is read afresh:
//  - a stray continuation byte (80-BF) or a byte that never occurs: 1 byte;
//  - a lead byte followed by a byte that does not fit: the lead and the
//    fitting bytes before it ("E3 41": E3, then 41 afresh);
//  - a sequence cut off by the end of the text: what there is ("E3 81").
inline Sequence Decode(const std::uint8_t* p, std::size_t available) {
  const std::uint8_t b0 = p[0];
  if (b0 < 0x80) return {1, true, b0};
  unsigned need;
  char32_t c;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;
  if (b0 < 0xC2) {
    return {1, false, 0};
  } else if (b0 < 0xE0) {
    need = 1;
    c = b0 & 0x1F;
  } else if (b0 < 0xF0) {
    need = 2;
    c = b0 & 0x0F;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;
  } else if (b0 < 0xF5) {
    need = 3;
    c = b0 & 0x07;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    return {1, false, 0};
  }
  for (unsigned i = 1; i <= need; ++i) {
    if (i >= available || p[i] < low || p[i] > high) {
      return {static_cast<std::uint8_t>(i), false, 0};
    }
    c = (c << 6) | (p[i] & 0x3F);
    low = 0x80;
    high = 0xBF;
  }
  return {static_cast<std::uint8_t>(need + 1), true, c};
}

// The UTF-8 form of code point `c` (at most U+10FFFF).
inline std::string Encode(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | (c >> 6));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 | (c >> 12));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | (c >> 18));
    s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

}  // namespace ostrevin::utf8
