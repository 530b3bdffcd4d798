// ConversionTable: the entries of a loaded table in one byte buffer.
#include "tables/conversion_table.h"

#include <algorithm>
#include <stdexcept>

namespace ostrevin {
namespace {

std::string_view UpToNul(std::string_view field) { return field.substr(0, field.find('\0')); }

}  // namespace

ConversionTable::ConversionTable(std::string bytes, std::vector<std::size_t> ends)
    : bytes_(std::move(bytes)), ends_(std::move(ends)) {
  if (ends_.size() % 2 != 0) throw std::invalid_argument("a table entry lacks its replacement");
  if (!std::is_sorted(ends_.begin(), ends_.end()) ||
      (!ends_.empty() && ends_.back() > bytes_.size())) {
    throw std::invalid_argument("table field ends out of order or past the bytes");
  }
  const std::size_t used = ends_.empty() ? 0 : ends_.back();
  if (std::string_view(bytes_).substr(0, used).find('\0') != std::string_view::npos) {
    throw std::invalid_argument("a table field holds a NUL byte");
  }
  bytes_.resize(used);  // drops what the loader left unused after the fields
}

void ConversionTable::Clear() {
  // Swapping with empty ones gives the memory back; clear() would keep it
  // while the next table loads.
  std::string().swap(bytes_);
  std::vector<std::size_t>().swap(ends_);
}

void ConversionTable::Add(std::string_view search, std::string_view replacement) {
  search = UpToNul(search);
  replacement = UpToNul(replacement);
  // Room for both ends first, so that a failed allocation leaves whole
  // entries; grown geometrically, as push_back would.
  if (ends_.capacity() - ends_.size() < 2) {
    ends_.reserve(std::max<std::size_t>(2 * ends_.capacity(), ends_.size() + 2));
  }
  bytes_.append(search);
  ends_.push_back(bytes_.size());
  bytes_.append(replacement);
  ends_.push_back(bytes_.size());
}

}  // namespace ostrevin
