// ReplacementChain: every entry a stage that decides what it can of the
// bytes it has and holds back the rest.
//
// One entry's ReplaceAll is a walk over whole characters that takes the
// search string (m bytes) wherever it starts at the walk's position. A stage
// that holds bytes d[0..n) starting on a character boundary can decide every
// start p <= n - m: whether an occurrence is there depends only on d[p..p+m)
// and on p being a boundary, which the bytes before p tell. Starts from
// t = n - m + 1 on may be completed by later bytes, so the stage hands on the
// result up to a boundary at or before t and keeps the bytes from there as
// its carry, to be searched again in front of the next bytes. Searching a
// byte twice finds the same: a start before t that was no occurrence is none
// again, since its m bytes all lie in the carry.
//
// The boundary to cut at is found as sjis::IsBoundary judges one: from t
// back over the lead bytes before it, never past the last boundary the walk
// knows. The non-lead byte before them ends a character, and the lead bytes
// after it pair up from the left, so the cut is at most one byte before t and
// a carry holds at most m bytes.
//
// The first stage reads the text where it lies, a block at a time, its carry
// being the tail of the bytes before. When a fed piece ends, that tail is
// copied; the stage then meets the next piece by a short step over the carry
// and the piece's first m bytes, whose cut, at most m bytes before their
// end, lies in the piece, from where it reads in place again. What that step
// hands on is added to the second stage's carry, which the next block's round
// takes in before the rest; so the block stays whole, and the carry longer
// than m lasts until that round, in the same call.
#include "tables/replacement_chain.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/shift_jis.h"
#include "tables/occurrences.h"

namespace ostrevin {
namespace {

// Free bytes kept in front of what a stage writes, at the least, so that
// the next stages can put their carries there without moving the block.
constexpr std::size_t kMinHeadroom = 1024;
// Bytes kept writable after the end of what a stage writes, so that a short
// replacement is copied as one sixteen-byte block.
constexpr std::size_t kPad = 16;

// Where a stage that holds d[0..n) and knows the boundary `known` (every
// start before it decided) cuts: a boundary no later than the first start
// that later bytes could complete, and no earlier than `known`.
std::size_t CutPoint(const char* d, std::size_t n, std::size_t m, std::size_t known) {
  const std::size_t t = n >= m ? n - m + 1 : 0;
  if (known >= t) return known;  // inside the occurrence taken last
  std::size_t q = t;
  while (q > known && sjis::IsLeadByte(static_cast<std::uint8_t>(d[q - 1]))) --q;
  return q + ((t - q) & ~std::size_t{1});
}

// Makes at least `size` bytes of `buffer` usable, keeping what it holds.
// A work buffer's size is what it can hold; what it holds is tracked apart.
void Reserve(std::string& buffer, std::size_t size) {
  if (buffer.size() < size) buffer.resize(std::max(size, buffer.size() * 2));
}

}  // namespace

ReplacementChain::ReplacementChain(const ConversionTable& table, std::size_t block_bytes)
    : block_bytes_(block_bytes == 0 ? 1 : block_bytes), headroom_(kMinHeadroom) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table.Search(i).empty()) continue;
    Stage stage{table.Search(i), std::string(table.Replacement(i)), {}};
    stage.replacement.append(kPad, '\0');
    // A carry is never longer than its search string: room for two.
    headroom_ = std::max(headroom_, 2 * stage.search.size());
    stages_.push_back(std::move(stage));
  }
}

void ReplacementChain::Prepend(const std::string& carry, Piece& piece) {
  const std::size_t c = carry.size();
  if (c == 0) return;
  if (piece.buffer >= 0) {
    std::string& buffer = buffers_[piece.buffer];
    const auto offset = static_cast<std::size_t>(piece.data - buffer.data());
    if (offset >= c) {
      char* at = buffer.data() + offset - c;
      std::memcpy(at, carry.data(), c);
      piece = {at, piece.size + c, piece.buffer};
      return;
    }
  }
  const int other = piece.buffer == 0 ? 1 : 0;
  std::string& out = buffers_[other];
  Reserve(out, headroom_ + c + piece.size + kPad);
  std::memcpy(out.data() + headroom_, carry.data(), c);
  std::memcpy(out.data() + headroom_ + c, piece.data, piece.size);
  piece = {out.data() + headroom_, c + piece.size, other};
}

ReplacementChain::Piece ReplacementChain::Step(Stage& stage, const Piece& in, bool last,
                                               std::size_t& cut) {
  const std::size_t m = stage.search.size();
  const std::size_t r = stage.replacement.size() - kPad;
  const char* replacement = stage.replacement.data();
  const char* d = in.data;
  const std::size_t n = in.size;

  if (r == m && in.buffer >= 0) {
    // Same length, in a work buffer: each occurrence is overwritten where it
    // stands (the scan reads only beyond it), and nothing moves.
    char* base = buffers_[in.buffer].data();
    char* text = base + (d - base);
    const auto overwrite = [&](std::size_t p) { std::memcpy(text + p, replacement, m); };
    const OccurrenceScan scan = ForEachOccurrence(d, n, stage.search, overwrite);
    cut = last ? n : CutPoint(d, n, m, scan.boundary);
    if (scan.count > 0) replaced_ = true;
    return {d, cut, in.buffer};
  }

  const int other = in.buffer == 0 ? 1 : 0;
  std::string& out = buffers_[other];
  std::size_t w = headroom_;  // where the next byte goes in `out`
  std::size_t from = 0;       // the first byte of `d` not yet written
  const auto take = [&](std::size_t p) {
    const std::size_t gap = p - from;
    // Room for everything up to the cut when the text does not grow.
    if (from == 0 || r > m) Reserve(out, w + std::max(gap + r, n - from) + kPad);
    char* at = out.data() + w;
    std::memcpy(at, d + from, gap);
    if (r <= kPad) {
      std::memcpy(at + gap, replacement, kPad);
    } else {
      std::memcpy(at + gap, replacement, r);
    }
    w += gap + r;
    from = p + m;
  };
  const OccurrenceScan scan = ForEachOccurrence(d, n, stage.search, take);
  cut = last ? n : CutPoint(d, n, m, scan.boundary);
  if (scan.count == 0) return {d, cut, in.buffer};
  replaced_ = true;
  Reserve(out, w + (cut - from) + kPad);
  std::memcpy(out.data() + w, d + from, cut - from);
  w += cut - from;
  return {out.data() + headroom_, w - headroom_, other};
}

std::size_t ReplacementChain::Round(std::string_view in, bool last, const Sink& sink) {
  Piece piece{in.data(), in.size(), -1};
  std::size_t first_cut = in.size();
  for (std::size_t i = 0; i < stages_.size(); ++i) {
    Stage& stage = stages_[i];
    if (i > 0) Prepend(stage.carry, piece);
    const Piece stage_in = piece;
    std::size_t cut = 0;
    piece = Step(stage, stage_in, last, cut);
    if (i == 0) {
      first_cut = cut;
    } else {
      stage.carry.assign(stage_in.data + cut, stage_in.size - cut);
    }
  }
  if (piece.size > 0) sink(std::string_view(piece.data, piece.size));
  return first_cut;
}

void ReplacementChain::Feed(std::string_view piece, const Sink& sink) {
  if (stages_.empty()) {
    if (!piece.empty()) sink(piece);
    return;
  }
  Stage& first = stages_[0];
  std::size_t start = 0;  // where the first stage's carry starts in `piece`
  std::size_t end = 0;    // how much of `piece` the first stage has taken in
  if (!first.carry.empty()) {
    // The carry and the piece's first m bytes: the stage cuts at most m
    // bytes before their end, so in the piece when it goes on.
    const std::size_t held = first.carry.size();
    end = std::min(piece.size(), first.search.size());
    first.carry.append(piece.data(), end);
    if (end == piece.size()) {
      const std::size_t cut = Round(first.carry, false, sink);
      first.carry.erase(0, cut);
      return;
    }
    // The first stage alone: what it hands on joins what the second has
    // taken in, to go down the chain with the next round's block.
    std::size_t cut = 0;
    const Piece out = Step(first, {first.carry.data(), first.carry.size(), -1}, false, cut);
    if (stages_.size() > 1) {
      stages_[1].carry.append(out.data, out.size);
    } else if (out.size > 0) {
      sink(std::string_view(out.data, out.size));
    }
    start = cut - held;
  }
  while (end < piece.size()) {
    end = piece.size() - end > block_bytes_ ? end + block_bytes_ : piece.size();
    start += Round(piece.substr(start, end - start), false, sink);
  }
  first.carry.assign(piece.substr(start));
}

bool ReplacementChain::Finish(const Sink& sink) {
  if (!stages_.empty()) (void)Round(stages_[0].carry, true, sink);
  for (Stage& stage : stages_) stage.carry.clear();
  return std::exchange(replaced_, false);
}

bool ReplacementChain::Run(std::string_view text, const Sink& sink) {
  Feed(text, sink);
  return Finish(sink);
}

}  // namespace ostrevin
