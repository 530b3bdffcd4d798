// Writing a text with each LF as CR LF, and flushing it to the disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace ostrevin {

// How far a write got: the error that stopped it (0: none) and the number of
// bytes that reached the file from where it began.
struct WriteProgress {
  int error_number = 0;
  std::uint64_t written = 0;
};

// Writes `bytes` as they are at the file's current offset; stops at the
// first failure.
[[nodiscard]] WriteProgress WriteAllBytes(int fd, std::string_view bytes);

// Writes `text` with each LF as CR LF, through a fixed-size buffer, at the
// file's current offset; stops at the first failure.
[[nodiscard]] WriteProgress WriteCrLfText(int fd, std::string_view text);

// Each LF of a text that comes in pieces as CR LF, through one buffer:
// what it holds is handed on when it fills and at Finish.
class CrLfWriter {
 public:
  // Takes each filled buffer; returns false after a failure, and is given
  // nothing more then.
  using Flush = std::function<bool(std::string_view bytes)>;

  explicit CrLfWriter(Flush flush);
  // Adds `text`, each LF as CR LF.
  void Add(std::string_view text);
  // Hands on what the buffer holds.
  void Finish();

 private:
  void HandOn();

  Flush flush_;
  std::unique_ptr<char[]> chunk_;
  std::size_t used_ = 0;
  bool failed_ = false;
};

// The number of bytes WriteCrLfText writes for `text`.
[[nodiscard]] std::uint64_t CrLfSize(std::string_view text);

// Starts the disk writes of a file's new pages every few MiB while the file
// is being written, so that its flush (fsync, or the run's syncfs) finds
// most of them done: the disk works while the text is still being made.
// Only a hint: a file system that cannot do it is flushed as before, and
// the flush reports any error.
class EarlyWriteback {
 public:
  explicit EarlyWriteback(int fd) : fd_(fd) {}
  // `bytes` more reached the file.
  void Wrote(std::size_t bytes);

 private:
  int fd_;
  std::uint64_t written_ = 0;
  std::uint64_t started_ = 0;  // the writes of [0, started_) are under way
};

// fsync: 0, or the error number (none where the file cannot be flushed at
// all, as on a read-only file system).
[[nodiscard]] int FlushToDisk(int fd);

}  // namespace ostrevin
