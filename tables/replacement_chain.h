// A simple table's entries run as a chain of stages over blocks of a text,
// so that the text goes through memory once however many entries there are.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tables/conversion_table.h"

namespace ostrevin {

class ReplacementChain {
 public:
  // Takes each piece of the result, in order; pieces are never empty. A sink
  // that throws leaves the chain inside its text, not to be used again.
  using Sink = std::function<void(std::string_view piece)>;

  // Bytes of the text taken in per round: the working set of the whole chain
  // is about twice this, which stays in the core's own cache.
  static constexpr std::size_t kBlockBytes = std::size_t{1} << 16;

  // The entries of `table` with a non-empty search string, in table order.
  // The table must outlive the chain and stay unchanged.
  explicit ReplacementChain(const ConversionTable& table, std::size_t block_bytes = kBlockBytes);

  // Takes the next piece of a text, of any size (possibly empty), and hands
  // `sink` what can be decided of the result so far. `piece` need not
  // outlive the call: the chain keeps copies of the few bytes it holds back,
  // and a piece larger than a block is taken a block at a time, so that the
  // chain holds about a block and the longest search string whatever the
  // pieces are.
  void Feed(std::string_view piece, const Sink& sink);

  // Ends the text: hands `sink` the rest of what ReplaceAll, called for
  // every entry in table order on the concatenation of every piece fed
  // since the last Finish, would leave, and returns whether any entry
  // replaced anything. The chain is then ready for a new text; its buffers
  // are kept for it.
  bool Finish(const Sink& sink);

  // A whole text fed as one piece, then finished.
  bool Run(std::string_view text, const Sink& sink);

 private:
  struct Stage {
    std::string_view search;
    // The replacement, followed by kPad bytes that are copied with it.
    std::string replacement;
    // The bytes this stage has taken in but not decided: an occurrence may
    // start there that the next bytes complete. Always starts on a
    // character boundary. The first stage reads a piece where it lies, and
    // keeps here only what is left of it when the piece ends. The second
    // stage's may also hold what the first handed on when it met a piece,
    // until the round over that piece's first block.
    std::string carry;
  };

  // A stretch of text between stages: in the text itself (buffer -1) or in
  // one of the two work buffers, behind `data - buffer start` bytes that are
  // free. A work buffer's size is how much it can hold.
  struct Piece {
    const char* data = nullptr;
    std::size_t size = 0;
    int buffer = -1;
  };

  // Puts `carry` right before `piece`: into the free bytes in front of it
  // when there are enough, else by copying both into the other buffer.
  void Prepend(const std::string& carry, Piece& piece);
  // Runs `stage` over `in`, which starts with the stage's carry; returns
  // what it hands on and sets `cut`, where its new carry starts in `in`.
  Piece Step(Stage& stage, const Piece& in, bool last, std::size_t& cut);
  // Runs every stage once: `in` is what the first stage holds (its carry
  // and the bytes after it), read where it lies. Hands the last stage's
  // result to `sink` and returns where the first stage's new carry starts
  // in `in`. With `last`, nothing is carried.
  std::size_t Round(std::string_view in, bool last, const Sink& sink);

  std::vector<Stage> stages_;
  std::size_t block_bytes_;
  std::size_t headroom_;  // free bytes kept in front of a stage's output
  std::string buffers_[2];
  bool replaced_ = false;  // whether any entry replaced anything in this text
};

}  // namespace ostrevin
