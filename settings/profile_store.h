// ProfileStore: one INI settings file of sections and keys, read forgivingly
// and replaced atomically.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ostrevin {

// The file is read once, when the store is made; reads and writes then work
// on the copy in memory, and Save() writes it back in one atomic step.
//
// Reading is forgiving:
//  - section and key names match without regard to ASCII case;
//  - blanks (space, TAB) around a name, around "=" and around a value are
//    ignored, and a value wrapped in double quotes loses them;
//  - CR LF, LF and a lone CR all end a line, and a UTF-8 byte order mark at
//    the start is read past;
//  - of duplicate keys (or sections) the first wins;
//  - lines that are neither a section nor a key are kept and ignored;
//  - a missing, unreadable or non-regular file is an empty store (ReadError
//    tells why, for callers that must not take it for an empty file).
// Memory stays a small multiple of the file's size: the file's bytes are kept
// once and lines refer to them; sections are found by a hash of their names,
// and a section's keys are indexed the first time the section is read.
// Writing keeps every other line byte for byte and writes `key=value` lines,
// quoting a value that begins or ends with a blank or is itself quoted so that
// it reads back unchanged. Values are bytes: no change of encoding.
class ProfileStore {
 public:
  explicit ProfileStore(std::string path);

  [[nodiscard]] const std::string& path() const { return path_; }

  // Whether `section` holds `key`, whatever its value.
  [[nodiscard]] bool HasKey(std::string_view section, std::string_view key) const {
    return FindLine(section, key) != nullptr;
  }

  // 0 when the file was read whole; otherwise the errno of the open or the
  // read that failed, EISDIR for a folder, EINVAL for another non-regular file.
  [[nodiscard]] int ReadError() const { return read_error_; }

  // Whether a header of `section` is in the store.
  [[nodiscard]] bool HasSection(std::string_view section) const;

  // The value of `key` in `section`, or `fallback` when either is absent.
  [[nodiscard]] std::string ReadText(std::string_view section, std::string_view key,
                                     std::string_view fallback = {}) const;
  // The value read as a decimal integer from its leading sign and digits
  // ("1x" is 1, "-2" is -2, out-of-range values are clamped to int), or
  // `fallback` when the key is absent or its value starts with no digit.
  [[nodiscard]] int ReadInteger(std::string_view section, std::string_view key, int fallback) const;

  // Sets `key` in `section`, adding the section (at the end of the file) or
  // the key (after the section's last line) as needed. Returns false, and
  // changes nothing, when the text cannot be stored in a line-based file: a
  // value with CR, LF or NUL, a section name with "]", or a key with "=", or
  // an empty or blank-edged name.
  [[nodiscard]] bool WriteText(std::string_view section, std::string_view key,
                               std::string_view value);
  // Whether WriteText can store `value` (it holds no CR, LF or NUL).
  [[nodiscard]] static bool CanStoreValue(std::string_view value);
  [[nodiscard]] bool WriteInteger(std::string_view section, std::string_view key, long value);
  // Removes every section of that name with all its lines.
  void DeleteSection(std::string_view section);

  // The number of lines the file had when it was read (a last line without a
  // line end counts).
  [[nodiscard]] std::size_t LinesRead() const { return lines_read_; }

  // Writes the store to its file: a temporary file in the same folder, then
  // renamed over it. A symbolic link is followed; an existing file keeps its
  // permission bits. Returns 0 or the errno of the failure; on failure the
  // file is as it was and no temporary file is left.
  [[nodiscard]] int Save() const;

 private:
  // A line as bytes of text_, its line end (LF, CR LF or CR) included when it
  // has one.
  struct Line {
    std::size_t offset = 0;
    std::size_t size = 0;
  };
  using KeyIndex = std::unordered_map<std::string, std::size_t>;  // folded key -> line
  struct Section {
    bool has_header = false;
    std::vector<Line> lines;  // lines[0] is the header when there is one
    // The first line of each key, made when the section is first looked up.
    mutable std::unique_ptr<KeyIndex> keys;
  };

  void Read();
  void Parse();
  [[nodiscard]] std::string_view TextOf(const Line& line) const;
  [[nodiscard]] Line Append(std::string_view bytes);
  [[nodiscard]] std::string FoldedName(const Section& section) const;
  void IndexSections();
  [[nodiscard]] const KeyIndex& KeysOf(const Section& section) const;
  [[nodiscard]] const Section* FindSection(std::string_view folded) const;
  [[nodiscard]] Section* FindSection(std::string_view folded);
  [[nodiscard]] const Line* FindLine(std::string_view section, std::string_view key) const;

  std::string path_;
  int read_error_ = 0;
  std::string text_;               // the file's bytes, then each line written since
  std::vector<Section> sections_;  // sections_[0] holds the lines before any header
  std::unordered_map<std::string, std::size_t> section_index_;  // folded name -> first
  std::string line_end_ = "\n";                                 // the file's first line end
  std::size_t lines_read_ = 0;
};

}  // namespace ostrevin
