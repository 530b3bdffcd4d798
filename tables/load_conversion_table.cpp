// LoadConversionTable: reading a table file as text and splitting its lines
// into entries.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "core/file_error.h"
#include "tables/conversion_table.h"

namespace ostrevin {
namespace {

constexpr char kEndOfFileMark = '\x1A';
constexpr std::string_view kGoOnWithoutTable = "\n変換テーブルを通さずに処理を続行します。";

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  [[nodiscard]] int get() const { return fd_; }

 private:
  int fd_;
};

// Opens `path` for reading if it names a regular file. Returns the descriptor,
// or -1 with `error_number` set: the number open/fstat gave, EISDIR for a
// folder, EINVAL for anything else that is not a regular file (a FIFO or a
// device would block or never end). O_NONBLOCK keeps the open of a FIFO from
// waiting for a writer; it changes nothing for a regular file.
int OpenRegularFile(const std::string& path, int& error_number) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error_number = errno;
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    error_number = errno;
  } else if (S_ISREG(info.st_mode)) {
    return fd;
  } else {
    error_number = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
  }
  ::close(fd);
  return -1;
}

// The whole content of the file, up to its first 0x1A byte, in a string
// sized once from the file's size. A read failure throws FileError with the
// table's path.
std::string ReadUpToEndMark(int fd, const std::string& path) {
  std::string content;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && info.st_size > 0) {
    content.reserve(static_cast<std::size_t>(info.st_size));
  }
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw FileError(path, errno);
    }
    if (got == 0) break;
    const auto* mark = static_cast<const char*>(std::memchr(buffer, kEndOfFileMark, got));
    content.append(buffer, mark != nullptr ? static_cast<std::size_t>(mark - buffer)
                                           : static_cast<std::size_t>(got));
    if (mark != nullptr) break;
  }
  return content;
}

// The two raw fields of one simple-mode line: TABs before the first field
// are skipped, the first field runs to the next TAB, the TABs after it are
// skipped, the second field runs to the next TAB; the rest is ignored.
struct Fields {
  std::string_view first;
  std::string_view second;
};

Fields SplitFields(std::string_view line) {
  std::size_t at = std::min(line.find_first_not_of('\t'), line.size());
  std::size_t end = std::min(line.find('\t', at), line.size());
  Fields fields{line.substr(at, end - at), {}};
  at = std::min(line.find_first_not_of('\t', end), line.size());
  end = std::min(line.find('\t', at), line.size());
  fields.second = line.substr(at, end - at);
  return fields;
}

// Builds the table inside the file's own content, so that the file is never
// held twice: each field is moved to the front and decoded there, and its end
// recorded. A field starts no earlier than where the previous one ended, and
// decoding never lengthens it, so the write position never passes the bytes
// still to be read.
class InPlaceBuilder {
 public:
  explicit InPlaceBuilder(std::string content) : content_(std::move(content)) {
    // One line per LF, and one more when the last line has none.
    const auto lines =
        static_cast<std::size_t>(std::count(content_.begin(), content_.end(), '\n') + 1);
    ends_.reserve(2 * lines);
  }

  void AddLine(std::string_view line, bool pattern_mode) {
    if (!line.empty() && line.front() == '#') return;
    if (pattern_mode) {
      Move(line, false);
      ends_.push_back(out_);  // the empty replacement
      return;
    }
    const Fields fields = SplitFields(line);
    Move(fields.first, true);
    Move(fields.second, true);
  }

  [[nodiscard]] ConversionTable Finish() && {
    return ConversionTable(std::move(content_), std::move(ends_));
  }

  [[nodiscard]] std::string_view content() const { return content_; }

 private:
  // Moves `field` (a view into content_) to the write position.
  void Move(std::string_view field, bool decode) {
    char* at = content_.data() + out_;
    std::memmove(at, field.data(), field.size());
    out_ += decode ? UnescapeTableField(at, field.size()) : field.size();
    ends_.push_back(out_);
  }

  std::string content_;
  std::vector<std::size_t> ends_;
  std::size_t out_ = 0;
};

}  // namespace

bool LoadConversionTable(const std::string& path, bool pattern_mode, ConversionTable& table,
                         Host& host, const TableTextToShiftJis& to_shift_jis) {
  table.Clear();
  if (path.empty()) return false;

  int error_number = 0;
  const FileDescriptor file(OpenRegularFile(path, error_number));
  if (file.get() < 0) {
    host.ShowMessage("変換テーブルファイルをオープンできません。(Error:" +
                         std::to_string(error_number) + ")" + std::string(kGoOnWithoutTable),
                     "エラー", MessageIcon::kExclamation);
    return false;
  }
  std::string content = ReadUpToEndMark(file.get(), path);
  // A NUL byte would end an entry early wherever the table's texts are read
  // as strings ("hel" for "hel\0lo"): such a table is not used at all.
  if (content.find('\0') != std::string::npos) {
    host.ShowMessage("変換テーブルにNULバイトが含まれています。" + std::string(kGoOnWithoutTable),
                     "エラー", MessageIcon::kExclamation);
    return false;
  }
  if (to_shift_jis) {
    if (const std::optional<std::string> refusal = to_shift_jis(content)) {
      host.ShowMessage(*refusal + std::string(kGoOnWithoutTable), "エラー",
                       MessageIcon::kExclamation);
      return false;
    }
  }
  InPlaceBuilder builder(std::move(content));

  // Lines end at LF; a CR right before the LF goes with it; the last line
  // needs no line end. The lines are read from the content that the builder
  // writes into, always ahead of its writes.
  const std::string_view text = builder.content();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) {
      end = text.size();
    } else if (end > start && text[end - 1] == '\r') {
      --end;
    }
    builder.AddLine(text.substr(start, end - start), pattern_mode);
    start = next;
  }
  table = std::move(builder).Finish();
  return true;
}

}  // namespace ostrevin
