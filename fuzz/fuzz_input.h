// Helpers shared by the fuzz targets: cutting one fuzz input into fields, and
// failing loudly when a property does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ostrevin::fuzz {

// Reads the fuzz input from the front: single bytes for choices, fields that
// end at a separator byte, and whatever is left.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}

  // The next byte, or 0 once the input is used up.
  [[nodiscard]] std::uint8_t TakeByte();
  // The bytes up to the next `separator` (which is consumed), or all that is
  // left when there is none.
  [[nodiscard]] std::string_view TakeField(char separator);
  // Everything not taken yet.
  [[nodiscard]] std::string_view Rest() const { return rest_; }
  [[nodiscard]] bool empty() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

// The bytes as hexadecimal pairs, for failure reports (at most `limit` bytes).
[[nodiscard]] std::string Hex(std::string_view bytes, std::size_t limit = 64);

// Reports `property` with `detail` on stderr and aborts, so that libFuzzer
// records the input as a crash, when `holds` is false.
void Require(bool holds, const char* property, std::string_view detail = {});

}  // namespace ostrevin::fuzz
