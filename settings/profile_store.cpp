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

// A line without its line end (LF, CR LF or a lone CR).
std::string_view WithoutLineEnd(std::string_view text) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  return text;
}

bool HasLineEnd(std::string_view text) {
  return !text.empty() && (text.back() == '\n' || text.back() == '\r');
}

// One line, its line end ignored.
ParsedLine ParseLine(std::string_view text) {
  text = Trim(WithoutLineEnd(text));
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

bool IsBlankLine(std::string_view text) { return Trim(WithoutLineEnd(text)).empty(); }

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

// The end of the line that starts at `start`: after its LF, its CR LF or its
// lone CR, or the end of the text.
std::size_t LineEnd(std::string_view text, std::size_t start) {
  const std::size_t at = text.find_first_of("\r\n", start);
  if (at == std::string_view::npos) return text.size();
  if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') return at + 2;
  return at + 1;
}

}  // namespace

ProfileStore::ProfileStore(std::string path) : path_(std::move(path)) {
  Read();
  Parse();
}

// The whole content of a regular file, read into text_ sized once from the
// file's size; anything else leaves text_ empty and says why in read_error_.
void ProfileStore::Read() {
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    read_error_ = errno;
    return;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    read_error_ = errno;
  } else if (!S_ISREG(info.st_mode)) {
    read_error_ = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
  } else {
    std::size_t filled = 0;
    text_.resize(static_cast<std::size_t>(info.st_size) + 1);
    for (;;) {
      // One byte more than the size fstat gave shows a file that has grown.
      if (filled == text_.size()) text_.resize(text_.size() * 2);
      const ssize_t got = ::read(fd, text_.data() + filled, text_.size() - filled);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        read_error_ = errno;
        filled = 0;  // unreadable: the defaults, as for a missing file
        break;
      }
      if (got == 0) break;
      filled += static_cast<std::size_t>(got);
    }
    text_.resize(filled);
  }
  ::close(fd);
}

void ProfileStore::Parse() {
  sections_.clear();
  sections_.emplace_back();
  const std::string_view text = text_;
  const std::size_t first_end = text.find_first_of("\r\n");
  if (first_end != std::string_view::npos && text[first_end] == '\r') {
    line_end_ = first_end + 1 < text.size() && text[first_end + 1] == '\n' ? "\r\n" : "\r";
  }
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = LineEnd(text, start);
    std::string_view line = text.substr(start, end - start);
    // A UTF-8 byte order mark in front of the first line is read past (and kept).
    if (start == 0 && line.starts_with(kByteOrderMark)) line.remove_prefix(kByteOrderMark.size());
    if (ParseLine(line).kind == LineKind::kSection) {
      sections_.push_back(Section{});
      sections_.back().has_header = true;
    }
    sections_.back().lines.push_back(Line{start, end - start});
    start = end;
    ++lines_read_;
  }
  IndexSections();
}

std::string_view ProfileStore::TextOf(const Line& line) const {
  return std::string_view(text_).substr(line.offset, line.size);
}

ProfileStore::Line ProfileStore::Append(std::string_view bytes) {
  const Line line{text_.size(), bytes.size()};
  text_.append(bytes);
  return line;
}

std::string ProfileStore::FoldedName(const Section& section) const {
  std::string_view header = TextOf(section.lines.front());
  if (section.lines.front().offset == 0 && header.starts_with(kByteOrderMark)) {
    header.remove_prefix(kByteOrderMark.size());
  }
  return Fold(ParseLine(header).name);
}

void ProfileStore::IndexSections() {
  section_index_.clear();
  for (std::size_t i = 1; i < sections_.size(); ++i) {
    section_index_.try_emplace(FoldedName(sections_[i]), i);
  }
}

const ProfileStore::KeyIndex& ProfileStore::KeysOf(const Section& section) const {
  if (!section.keys) {
    auto keys = std::make_unique<KeyIndex>();
    for (std::size_t i = 1; i < section.lines.size(); ++i) {
      const ParsedLine parsed = ParseLine(TextOf(section.lines[i]));
      if (parsed.kind == LineKind::kKey) keys->try_emplace(Fold(parsed.name), i);
    }
    section.keys = std::move(keys);
  }
  return *section.keys;
}

bool ProfileStore::HasSection(std::string_view section) const {
  return FindSection(Fold(Trim(section))) != nullptr;
}

const ProfileStore::Section* ProfileStore::FindSection(std::string_view folded) const {
  const auto at = section_index_.find(std::string(folded));
  return at == section_index_.end() ? nullptr : &sections_[at->second];
}

ProfileStore::Section* ProfileStore::FindSection(std::string_view folded) {
  return const_cast<Section*>(std::as_const(*this).FindSection(folded));
}

const ProfileStore::Line* ProfileStore::FindLine(std::string_view section,
                                                 std::string_view key) const {
  const Section* found = FindSection(Fold(Trim(section)));
  if (found == nullptr || !found->has_header) return nullptr;
  const KeyIndex& keys = KeysOf(*found);
  const auto at = keys.find(Fold(Trim(key)));
  if (at == keys.end()) return nullptr;
  return &found->lines[at->second];
}

std::string ProfileStore::ReadText(std::string_view section, std::string_view key,
                                   std::string_view fallback) const {
  const Line* line = FindLine(section, key);
  if (line == nullptr) return std::string(fallback);
  return std::string(ParseLine(TextOf(*line)).value);
}

int ProfileStore::ReadInteger(std::string_view section, std::string_view key, int fallback) const {
  const Line* line = FindLine(section, key);
  if (line == nullptr) return fallback;
  std::string_view value = ParseLine(TextOf(*line)).value;
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
  const Line line = Append(std::string(key) + "=" + EncodeValue(value) + line_end_);
  const std::string folded_section = Fold(section);
  Section* target = FindSection(folded_section);
  if (target == nullptr) {
    Section added;
    added.has_header = true;
    std::string header(1, '[');
    header.append(section).append("]").append(line_end_);
    added.lines.push_back(Append(header));
    section_index_.emplace(folded_section, sections_.size());
    sections_.push_back(std::move(added));
    target = &sections_.back();
  }
  const std::string folded_key = Fold(key);
  const KeyIndex& keys = KeysOf(*target);
  if (const auto at = keys.find(folded_key); at != keys.end()) {
    target->lines[at->second] = line;
    return true;
  }
  // After the section's last line that is not blank; only blank lines (never
  // keys) move, so the key index stays valid.
  std::size_t position = target->lines.size();
  while (position > 1 && IsBlankLine(TextOf(target->lines[position - 1]))) --position;
  target->lines.insert(target->lines.begin() + static_cast<std::ptrdiff_t>(position), line);
  target->keys->emplace(folded_key, position);
  return true;
}

bool ProfileStore::CanStoreValue(std::string_view value) { return !HasAny(value, kLineBreaks); }

bool ProfileStore::WriteInteger(std::string_view section, std::string_view key, long value) {
  return WriteText(section, key, std::to_string(value));
}

void ProfileStore::DeleteSection(std::string_view section) {
  if (FindSection(Fold(Trim(section))) == nullptr) return;
  const std::string folded = Fold(Trim(section));
  sections_.erase(std::remove_if(sections_.begin() + 1, sections_.end(),
                                 [&](const Section& s) { return FoldedName(s) == folded; }),
                  sections_.end());
  IndexSections();
}

int ProfileStore::Save() const {
  std::string content;
  for (const Section& section : sections_) {
    for (const Line& line : section.lines) {
      const std::string_view text = TextOf(line);
      content.append(text);
      // A last line without a line end gets one, as does any line before which
      // a line was inserted.
      if (!HasLineEnd(text)) content.append(line_end_);
    }
  }
  return ReplaceFileAtomically(path_, content);
}

}  // namespace ostrevin
