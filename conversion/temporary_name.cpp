#include "conversion/temporary_name.h"

#include <climits>

namespace ostrevin {

namespace {

constexpr std::string_view kMarker = ".ostrevin-";
constexpr std::size_t kSuffixBytes = 6;
constexpr std::string_view kLetters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

bool IsLetterOrDigit(char c) { return kLetters.find(c) != std::string_view::npos; }

}  // namespace

std::string TemporaryName(std::string_view output_name, std::mt19937_64& random) {
  const std::size_t keep =
      std::min(output_name.size(), NAME_MAX - 1 - kMarker.size() - kSuffixBytes);
  std::string temp;
  temp.reserve(1 + keep + kMarker.size() + kSuffixBytes);
  temp.push_back('.');
  temp.append(output_name.substr(0, keep));
  temp.append(kMarker);
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  for (std::size_t i = 0; i < kSuffixBytes; ++i) temp.push_back(kLetters[pick(random)]);
  return temp;
}

bool IsTemporaryName(std::string_view name) {
  const std::size_t tail = kMarker.size() + kSuffixBytes;
  if (name.size() < 2 + tail || name.front() != '.') return false;
  const std::string_view end = name.substr(name.size() - tail);
  if (!end.starts_with(kMarker)) return false;
  for (const char c : end.substr(kMarker.size())) {
    if (!IsLetterOrDigit(c)) return false;
  }
  return true;
}

}  // namespace ostrevin
