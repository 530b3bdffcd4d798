// UnescapeTableField: decoding the backslash escapes of one simple-mode field.
#include <cstdint>

#include "core/shift_jis.h"
#include "tables/conversion_table.h"

namespace ostrevin {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

// The field is read from `in` and written at `out` in the same buffer; every
// escape writes at most one byte for two or more read, so `out` never passes
// `in`. Characters are counted from the start of the field, so the trail byte
// of a double-byte character (0x5C in 表 0x95 0x5C) is copied with its lead
// byte and never starts an escape.
std::size_t UnescapeTableField(char* field, std::size_t size) {
  std::size_t in = 0;
  std::size_t out = 0;
  while (in < size) {
    const char b = field[in];
    if (sjis::CharLength(field, in, size) == 2) {
      field[out++] = b;
      field[out++] = field[in + 1];
      in += 2;
      continue;
    }
    if (b != '\\') {
      field[out++] = b;
      ++in;
      continue;
    }
    if (in + 1 == size) break;  // a lone backslash at the end is dropped
    const char e = field[in + 1];
    in += 2;
    switch (e) {
      case 'n':
        field[out++] = '\n';
        break;
      case 't':
        field[out++] = '\t';
        break;
      case '\\':
        field[out++] = '\\';
        break;
      case '#':
        field[out++] = '#';
        break;
      case 'x':
      case 'X': {
        const int high = in < size ? HexValue(field[in]) : -1;
        const int low = in + 1 < size ? HexValue(field[in + 1]) : -1;
        if (high < 0 || low < 0 || (high == 0 && low == 0)) {
          // Malformed: the field ends at the backslash. \x00 ends it too,
          // since an entry never holds a NUL byte.
          return out;
        }
        field[out++] = static_cast<char>(high * 16 + low);
        in += 2;
        break;
      }
      default:
        break;  // an unknown escape drops the backslash and its letter
    }
  }
  return out;
}

void UnescapeTableField(std::string& field) {
  field.resize(UnescapeTableField(field.data(), field.size()));
}

}  // namespace ostrevin
