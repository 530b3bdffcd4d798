// A source file read a block at a time, for the stages that need only a
// stretch of the text at once: memory stays the same whatever the file's
// size.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace ostrevin {

class SourceBlocks {
 public:
  static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

  // Reads the open regular file `fd` from its start, without moving its
  // offset; `size` is what fstat gave (the file may still grow or shrink).
  // Read failures throw FileError with `path`.
  SourceBlocks(int fd, std::string path, std::uint64_t size, std::size_t block_bytes = kBlockBytes);

  // The next piece of the file, ending right after its last line end (CR
  // or LF) that is not the CR of a CR LF, so that no character, escape
  // sequence or CR LF is cut; the last piece ends where the file does. A
  // line longer than the block makes the block grow. Empty at the end of the
  // file, and at its first NUL byte (see met_nul).
  [[nodiscard]] std::string_view Next();

  // Whether a NUL byte ended the pieces.
  [[nodiscard]] bool met_nul() const { return nul_; }

  // Starts again at the file's start; a file that fitted in one block is
  // not read again.
  void Restart();

  // The line ends in the file before `offset` (where a piece started), as
  // LineNumberAt counts them, by reading the file again.
  [[nodiscard]] std::size_t LineEndsBefore(std::uint64_t offset);

  // Whether some bytes of the file were read more than once (by a second
  // pass or by LineEndsBefore): only then can two readings disagree.
  [[nodiscard]] bool read_again() const { return read_again_; }

 private:
  // Reads once into the free end of the buffer; sets eof_ or nul_.
  void Fill();
  // Makes room for a line longer than the buffer.
  void Grow();

  struct Free {
    void operator()(char* p) const { std::free(p); }
  };

  int fd_;
  std::string path_;
  std::uint64_t size_;
  std::size_t capacity_;
  std::unique_ptr<char, Free> buffer_;
  std::uint64_t read_to_ = 0;  // the file offset of the next read
  std::size_t begin_ = 0;      // buffer_[begin_, end_) is read and not handed on
  std::size_t end_ = 0;
  bool eof_ = false;
  bool nul_ = false;
  bool read_again_ = false;
};

}  // namespace ostrevin
