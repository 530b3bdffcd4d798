// ProfileStore: parsing, lookup and rewriting of the INI lines.
#include "settings/profile_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>

#include "settings/replace_file.h"

namespace ostrevin {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string Fold(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

enum class LineKind { kOther, kSection, kKey };

struct ParsedLine {
  LineKind kind = LineKind::kOther;
  std::string_view name;   // section name or key, trimmed
  std::string_view value;  // key value, trimmed and unquoted
};

// One line without its LF (a CR before it is ignored here).
ParsedLine ParseLine(std::string_view text) {
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  text = Trim(text);
  ParsedLine parsed;
  if (text.empty() || text.front() == ';') return parsed;
  if (text.front() == '[') {
    text.remove_prefix(1);
    parsed.kind = LineKind::kSection;
    parsed.name = Trim(text.substr(0, text.find(']')));
    return parsed;
  }
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return parsed;
  parsed.name = Trim(text.substr(0, equals));
  if (parsed.name.empty()) return parsed;
  parsed.kind = LineKind::kKey;
  std::string_view value = Trim(text.substr(equals + 1));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  parsed.value = value;
  return parsed;
}

bool IsBlankLine(std::string_view text) {
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  return Trim(text).empty();
}

bool HasAny(std::string_view text, std::string_view bytes) {
  return text.find_first_of(bytes) != std::string_view::npos;
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

const std::string_view kLineBreaks("\r\n\0", 3);

bool IsStorableName(std::string_view name, std::string_view forbidden) {
  return !name.empty() && Trim(name).size() == name.size() && !HasAny(name, kLineBreaks) &&
         !HasAny(name, forbidden) && name.front() != ';' && name.front() != '[';
}

// The value as written after "=": quoted when reading would otherwise change it.
std::string EncodeValue(std::string_view value) {
  const bool quote =
      !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) ||
                         (value.size() >= 2 && value.front() == '"' && value.back() == '"'));
  std::string encoded;
  encoded.reserve(value.size() + 2);
  if (quote) encoded += '"';
  encoded.append(value);
  if (quote) encoded += '"';
  return encoded;
}

// The whole content of a regular file; empty for anything else.
std::string ReadRegularFile(const std::string& path) {
  std::string content;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return content;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    char buffer[64 * 1024];
    for (;;) {
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        content.clear();  // unreadable: the defaults, as for a missing file
        break;
      }
      if (got == 0) break;
      content.append(buffer, static_cast<std::size_t>(got));
    }
  }
  ::close(fd);
  return content;
}

}  // namespace

ProfileStore::ProfileStore(std::string path) : path_(std::move(path)) {
  Parse(ReadRegularFile(path_));
}

void ProfileStore::Parse(std::string_view content) {
  sections_.assign(1, Section{});
  const std::size_t first_lf = content.find('\n');
  if (first_lf != std::string_view::npos && first_lf > 0 && content[first_lf - 1] == '\r') {
    line_end_ = "\r\n";
  }
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string_view::npos) end = content.size();
    const std::string_view text = content.substr(start, end - start);
    // A UTF-8 byte order mark in front of the first line is read past (and kept).
    const std::string_view parsed_text =
        start == 0 && text.starts_with(kByteOrderMark) ? text.substr(kByteOrderMark.size()) : text;
    start = end + 1;
    ++lines_read_;
    const ParsedLine parsed = ParseLine(parsed_text);
    if (parsed.kind == LineKind::kSection) {
      Section section;
      section.folded_name = Fold(parsed.name);
      section.has_header = true;
      sections_.push_back(std::move(section));
    }
    Section& current = sections_.back();
    current.lines.push_back(Line{std::string(text)});
    IndexLine(current, current.lines.size() - 1);
  }
}

void ProfileStore::IndexLine(Section& section, std::size_t index) {
  if (!section.has_header) return;  // keys before any section belong to none
  const ParsedLine parsed = ParseLine(section.lines[index].text);
  if (parsed.kind == LineKind::kKey) section.first_key.try_emplace(Fold(parsed.name), index);
}

const ProfileStore::Section* ProfileStore::FindSection(std::string_view folded) const {
  for (std::size_t i = 1; i < sections_.size(); ++i) {
    if (sections_[i].folded_name == folded) return &sections_[i];
  }
  return nullptr;
}

ProfileStore::Section* ProfileStore::FindSection(std::string_view folded) {
  return const_cast<Section*>(std::as_const(*this).FindSection(folded));
}

const std::string* ProfileStore::FindLine(std::string_view section, std::string_view key) const {
  const Section* found = FindSection(Fold(Trim(section)));
  if (found == nullptr) return nullptr;
  const auto at = found->first_key.find(Fold(Trim(key)));
  if (at == found->first_key.end()) return nullptr;
  return &found->lines[at->second].text;
}

std::string ProfileStore::ReadText(std::string_view section, std::string_view key,
                                   std::string_view fallback) const {
  const std::string* line = FindLine(section, key);
  if (line == nullptr) return std::string(fallback);
  return std::string(ParseLine(*line).value);
}

int ProfileStore::ReadInteger(std::string_view section, std::string_view key, int fallback) const {
  const std::string* line = FindLine(section, key);
  if (line == nullptr) return fallback;
  std::string_view value = ParseLine(*line).value;
  bool negative = false;
  if (!value.empty() && (value.front() == '-' || value.front() == '+')) {
    negative = value.front() == '-';
    value.remove_prefix(1);
  }
  if (value.empty() || value.front() < '0' || value.front() > '9') return fallback;
  long long magnitude = 0;
  for (const char c : value) {
    if (c < '0' || c > '9') break;
    magnitude = std::min<long long>(magnitude * 10 + (c - '0'), 1LL << 40);
  }
  const long long signed_value = negative ? -magnitude : magnitude;
  return static_cast<int>(std::clamp<long long>(signed_value, INT_MIN, INT_MAX));
}

bool ProfileStore::WriteText(std::string_view section, std::string_view key,
                             std::string_view value) {
  if (!IsStorableName(section, "]") || !IsStorableName(key, "=") || HasAny(value, kLineBreaks)) {
    return false;
  }
  const std::string cr = line_end_ == "\r\n" ? "\r" : "";
  const std::string line = std::string(key) + "=" + EncodeValue(value) + cr;
  const std::string folded_section = Fold(section);
  Section* target = FindSection(folded_section);
  if (target == nullptr) {
    Section added;
    added.folded_name = folded_section;
    added.has_header = true;
    std::string header(1, '[');
    header.append(section).append("]").append(cr);
    added.lines.push_back(Line{std::move(header)});
    sections_.push_back(std::move(added));
    target = &sections_.back();
  }
  const std::string folded_key = Fold(key);
  if (const auto at = target->first_key.find(folded_key); at != target->first_key.end()) {
    target->lines[at->second].text = line;
    return true;
  }
  // After the section's last line that is not blank; only blank lines (never
  // keys) move, so the key index stays valid.
  std::size_t position = target->lines.size();
  while (position > 1 && IsBlankLine(target->lines[position - 1].text)) --position;
  target->lines.insert(target->lines.begin() + static_cast<std::ptrdiff_t>(position), Line{line});
  target->first_key.emplace(folded_key, position);
  return true;
}

bool ProfileStore::CanStoreValue(std::string_view value) { return !HasAny(value, kLineBreaks); }

bool ProfileStore::WriteInteger(std::string_view section, std::string_view key, long value) {
  return WriteText(section, key, std::to_string(value));
}

void ProfileStore::DeleteSection(std::string_view section) {
  const std::string folded = Fold(Trim(section));
  sections_.erase(std::remove_if(sections_.begin() + 1, sections_.end(),
                                 [&](const Section& s) { return s.folded_name == folded; }),
                  sections_.end());
}

int ProfileStore::Save() const {
  std::string content;
  for (const Section& section : sections_) {
    for (const Line& line : section.lines) {
      content += line.text;
      content += '\n';
    }
  }
  return ReplaceFileAtomically(path_, content);
}

}  // namespace ostrevin
