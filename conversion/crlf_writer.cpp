#include "conversion/crlf_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ostrevin {

namespace {

constexpr std::size_t kChunkBytes = 1 << 16;

bool WriteAll(int fd, const char* bytes, std::size_t size, WriteProgress& progress) {
  while (size > 0) {
    const ssize_t wrote = write(fd, bytes, size);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      progress.error_number = wrote < 0 ? errno : ENOSPC;
      return false;
    }
    bytes += wrote;
    size -= static_cast<std::size_t>(wrote);
    progress.written += static_cast<std::uint64_t>(wrote);
  }
  return true;
}

// Bytes ExpandLineFeeds may write past the end of its result.
constexpr std::size_t kExpandSlack = 16;

// Copies `size` bytes from `in` to `out`, each LF as CR LF, and returns the
// number written; `out` has room for 2 * size + kExpandSlack bytes. Sixteen
// bytes are copied at once; where they hold an LF, the copy stands up to
// it, a CR LF follows, and the next sixteen start after the LF.
std::size_t ExpandLineFeeds(const char* in, std::size_t size, char* out) {
  char* o = out;
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  while (i + 16 <= size) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), block);
    const auto lfs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, lf)));
    if (lfs == 0) {
      i += 16;
      o += 16;
      continue;
    }
    const auto first = static_cast<std::size_t>(__builtin_ctz(lfs));
    o += first;
    *o++ = '\r';
    *o++ = '\n';
    i += first + 1;
  }
#endif
  for (; i < size; ++i) {
    if (in[i] == '\n') *o++ = '\r';
    *o++ = in[i];
  }
  return static_cast<std::size_t>(o - out);
}

}  // namespace

WriteProgress WriteAllBytes(int fd, std::string_view bytes) {
  WriteProgress progress;
  (void)WriteAll(fd, bytes.data(), bytes.size(), progress);
  return progress;
}

CrLfWriter::CrLfWriter(Flush flush)
    : flush_(std::move(flush)),
      chunk_(std::make_unique_for_overwrite<char[]>(kChunkBytes + kExpandSlack)) {}

void CrLfWriter::Add(std::string_view text) {
  // Input is taken in spans that fit the free room even if every byte were
  // an LF; the chunk is handed on once too little room is left for a span
  // worth a call.
  constexpr std::size_t kMinRoom = 1024;
  std::size_t at = 0;
  while (at < text.size() && !failed_) {
    const std::size_t span = std::min((kChunkBytes - used_) / 2, text.size() - at);
    used_ += ExpandLineFeeds(text.data() + at, span, chunk_.get() + used_);
    at += span;
    if (kChunkBytes - used_ < kMinRoom) HandOn();
  }
}

void CrLfWriter::Finish() {
  if (!failed_ && used_ > 0) HandOn();
}

void CrLfWriter::HandOn() {
  failed_ = !flush_(std::string_view(chunk_.get(), used_));
  used_ = 0;
}

WriteProgress WriteCrLfText(int fd, std::string_view text) {
  WriteProgress progress;
  CrLfWriter writer(
      [&](std::string_view bytes) { return WriteAll(fd, bytes.data(), bytes.size(), progress); });
  writer.Add(text);
  writer.Finish();
  return progress;
}

std::uint64_t CrLfSize(std::string_view text) {
  return text.size() + static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
}

void EarlyWriteback::Wrote(std::size_t bytes) {
  // Large enough that a small file never costs a call, small enough that
  // the disk starts early in a file of a few MiB.
  constexpr std::uint64_t kStep = std::uint64_t{1} << 20;
  written_ += bytes;
  if (written_ - started_ < kStep) return;
  (void)sync_file_range(fd_, static_cast<off_t>(started_), static_cast<off_t>(written_ - started_),
                        SYNC_FILE_RANGE_WRITE);
  started_ = written_;
}

int FlushToDisk(int fd) { return fsync(fd) != 0 && errno != EINVAL && errno != EROFS ? errno : 0; }

}  // namespace ostrevin
