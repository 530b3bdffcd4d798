// Case files: the cases of a suite written as data, one case per line, for
// suites whose cases share one shape.
//
// Fields are separated by TAB; empty lines and lines that start with "#" are
// skipped. A field that holds bytes is read with Bytes(), which decodes the
// escapes that keep every line plain ASCII and every byte visible in a diff:
//   \xHH  the byte HH (two hexadecimal digits, either case)
//   \\    a backslash
//   \t \n \r  TAB, LF, CR
// Any other backslash, or a \x without two digits, is an error. A suite says
// how many fields a case has; one more field is a free note for the reader.
// Every error names the file and the line, and fails the test.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrevin::testing {

inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// `field` with its escapes decoded; a bad escape fails the test, naming `where`.
[[nodiscard]] inline std::string Unescape(std::string_view field, const std::string& where) {
  std::string out;
  for (std::size_t at = 0; at < field.size(); ++at) {
    if (field[at] != '\\') {
      out.push_back(field[at]);
      continue;
    }
    const std::string_view rest = field.substr(at + 1);
    const std::size_t simple =
        rest.empty() ? std::string_view::npos : std::string_view("\\tnr").find(rest[0]);
    if (simple != std::string_view::npos) {
      out.push_back("\\\t\n\r"[simple]);
      at += 1;
    } else if (rest.size() >= 3 && rest[0] == 'x' && HexDigit(rest[1]) >= 0 &&
               HexDigit(rest[2]) >= 0) {
      out.push_back(static_cast<char>(HexDigit(rest[1]) * 16 + HexDigit(rest[2])));
      at += 3;
    } else {
      ADD_FAILURE() << where << ": bad escape in " << field;
      return out;
    }
  }
  return out;
}

class Case {
 public:
  Case(std::string file, int line, std::vector<std::string> fields)
      : file_(std::move(file)), line_(line), fields_(std::move(fields)) {}

  [[nodiscard]] const std::string& file() const { return file_; }
  [[nodiscard]] int line() const { return line_; }
  [[nodiscard]] const std::string& operator[](std::size_t i) const { return fields_.at(i); }

  // "file:line", the place a failure points at.
  [[nodiscard]] std::string Where() const { return file_ + ":" + std::to_string(line_); }

  // True when the case has `count` fields, or one more as a note; fails the
  // test naming the line otherwise. An empty note is a stray TAB at the end of
  // the line, which would otherwise hide a field missing or shifted.
  [[nodiscard]] bool Has(std::size_t count) const {
    if (fields_.size() == count) return true;
    if (fields_.size() == count + 1 && !fields_.back().empty()) return true;
    ADD_FAILURE() << Where() << ": malformed case: " << fields_.size() << " fields, " << count
                  << " expected" << (fields_.size() == count + 1 ? " (a TAB at the end)" : "");
    return false;
  }

  // For cases that end in a list: true when the case has at least `count`
  // fields; fails the test naming the line otherwise.
  [[nodiscard]] bool HasAtLeast(std::size_t count) const {
    if (fields_.size() >= count) return true;
    ADD_FAILURE() << Where() << ": malformed case: " << fields_.size() << " fields, at least "
                  << count << " expected";
    return false;
  }
  [[nodiscard]] std::size_t size() const { return fields_.size(); }

  // Field `i` with its escapes decoded.
  [[nodiscard]] std::string Bytes(std::size_t i) const { return Unescape(fields_.at(i), Where()); }

  // Field `i` as a decimal number.
  [[nodiscard]] long Number(std::size_t i) const {
    const std::string& field = fields_.at(i);
    char* end = nullptr;
    const long value = std::strtol(field.c_str(), &end, 10);
    if (field.empty() || *end != '\0') {
      ADD_FAILURE() << Where() << ": field " << i + 1 << " is no number: " << field;
    }
    return value;
  }

 private:
  std::string file_;
  int line_;
  std::vector<std::string> fields_;
};

// Every case in the file at `path`. A file that cannot be read or holds no
// case fails the test: a suite must not pass by running nothing.
[[nodiscard]] inline std::vector<Case> ReadCases(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<Case> cases;
  std::string text;
  for (int line = 1; std::getline(in, text); ++line) {
    if (!text.empty() && text.back() == '\r') {
      ADD_FAILURE() << path << ":" << line << ": CR at the end of a line (write it as \\r)";
    }
    if (text.empty() || text.front() == '#') continue;
    std::vector<std::string> fields(1);
    for (const char c : text) {
      if (c == '\t') {
        fields.emplace_back();
      } else {
        fields.back().push_back(c);
      }
    }
    cases.emplace_back(path, line, std::move(fields));
  }
  if (cases.empty()) ADD_FAILURE() << path << ": no cases (missing or empty file)";
  return cases;
}

// Points every failure inside its scope at the case's line, in the form
// compilers and editors jump to.
class CaseTrace {
 public:
  explicit CaseTrace(const Case& c) : trace_(c.file().c_str(), c.line(), c[0]) {}

 private:
  ::testing::ScopedTrace trace_;
};

}  // namespace ostrevin::testing
