#include "conversion/source_blocks.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "core/file_error.h"

namespace ostrevin {

namespace {

// Where the piece in d[0, n) ends: right after its last LF, or after a CR
// that a byte other than LF follows (a CR at the very end might be the first
// half of a CR LF). 0 when there is no such place.
std::size_t CutAfterLastLineEnd(const char* d, std::size_t n) {
  const void* lf = memrchr(d, '\n', n);
  const std::size_t after_lf =
      lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - d) + 1 : 0;
  // A lone CR after the last LF (old Mac text has no LF at all), short of
  // the last byte.
  if (n - after_lf >= 2) {
    if (const void* cr = memrchr(d + after_lf, '\r', n - 1 - after_lf)) {
      return static_cast<std::size_t>(static_cast<const char*>(cr) - d) + 1;
    }
  }
  return after_lf;
}

}  // namespace

SourceBlocks::SourceBlocks(int fd, std::string path, std::uint64_t size, std::size_t block_bytes)
    : fd_(fd),
      path_(std::move(path)),
      size_(size),
      // A small file fits whole, with one byte more to see its end.
      capacity_(static_cast<std::size_t>(std::min<std::uint64_t>(block_bytes, size + 1))),
      buffer_(static_cast<char*>(std::malloc(capacity_))) {
  if (!buffer_) throw std::bad_alloc();
}

void SourceBlocks::Grow() {
  // Room for the rest of the file as fstat gave it and one byte more, to see
  // its end, when that is less than twice the room: a single line of the
  // whole file is held once. A file that grew past that size doubles it. realloc moves a large
  // block by remapping its pages, not by copying them beside the old ones.
  std::size_t larger = 2 * capacity_;
  if (read_to_ <= size_ && size_ - read_to_ + 1 < capacity_) {
    larger = capacity_ + static_cast<std::size_t>(size_ - read_to_) + 1;
  }
  char* grown = static_cast<char*>(std::realloc(buffer_.get(), larger));
  if (grown == nullptr) throw std::bad_alloc();
  (void)buffer_.release();
  buffer_.reset(grown);
  capacity_ = larger;
}

void SourceBlocks::Fill() {
  const std::size_t want = capacity_ - end_;
  ssize_t got;
  do {
    got = pread(fd_, buffer_.get() + end_, want, static_cast<off_t>(read_to_));
  } while (got < 0 && errno == EINTR);
  if (got < 0) throw FileError(path_, errno);
  if (got == 0) {
    eof_ = true;
    return;
  }
  const auto count = static_cast<std::size_t>(got);
  if (std::memchr(buffer_.get() + end_, '\0', count) != nullptr) {
    nul_ = true;
    return;
  }
  end_ += count;
  read_to_ += count;
  // A read that reaches the size fstat gave and stops short of what was
  // asked has met the end: no read is spent to hear it.
  if (read_to_ == size_ && count < want) eof_ = true;
}

std::string_view SourceBlocks::Next() {
  if (nul_ || (eof_ && begin_ == end_)) return {};
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  while (true) {
    if (!eof_) {
      if (end_ == capacity_) Grow();  // a line longer than the block
      Fill();
      if (nul_) return {};
    }
    const std::size_t cut = eof_ ? end_ : CutAfterLastLineEnd(buffer_.get(), end_);
    if (cut > 0 || eof_) {
      begin_ = cut;
      return {buffer_.get(), cut};
    }
  }
}

void SourceBlocks::Restart() {
  nul_ = false;
  if (eof_ && read_to_ == end_) {
    begin_ = 0;  // the whole file is still in the buffer
    return;
  }
  begin_ = end_ = 0;
  read_to_ = 0;
  eof_ = false;
  read_again_ = true;
}

std::size_t SourceBlocks::LineEndsBefore(std::uint64_t offset) {
  read_again_ = true;
  constexpr std::size_t kChunk = std::size_t{1} << 16;
  const auto chunk = std::make_unique_for_overwrite<char[]>(kChunk);
  std::size_t line_ends = 0;
  bool after_cr = false;
  for (std::uint64_t at = 0; at < offset;) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, offset - at));
    const ssize_t got = pread(fd_, chunk.get(), want, static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw FileError(path_, errno);
    if (got == 0) break;
    for (ssize_t i = 0; i < got; ++i) {
      const char c = chunk[static_cast<std::size_t>(i)];
      // A CR is a line end of its own unless an LF follows, which counts.
      if (after_cr && c != '\n') ++line_ends;
      if (c == '\n') ++line_ends;
      after_cr = c == '\r';
    }
    at += static_cast<std::uint64_t>(got);
  }
  // A piece never starts with the LF of a CR LF.
  return line_ends + (after_cr ? 1 : 0);
}

}  // namespace ostrevin
