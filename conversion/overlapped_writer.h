// Writing a file on a thread of its own while the caller makes the next
// bytes: the copy into the page cache (about a third of a conversion's time)
// then runs on the other core.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include "conversion/crlf_writer.h"

namespace ostrevin {

class OverlappedWriter {
 public:
  // As much as one write takes. Each hand-over wakes the thread (a futex
  // call and a task switch on each side), so buffers are handed over full,
  // and large enough that this costs little beside the copy. A text
  // of one buffer or less has nothing to overlap.
  static constexpr std::size_t kBufferBytes = std::size_t{1} << 20;

  // Starts the thread that writes to `fd` (which stays open until Finish).
  // Without `overlap` (nothing to overlap, as for a small text), and where
  // no thread can be started, Write writes before it returns.
  explicit OverlappedWriter(int fd, bool overlap = true);
  OverlappedWriter(const OverlappedWriter&) = delete;
  OverlappedWriter& operator=(const OverlappedWriter&) = delete;
  ~OverlappedWriter();

  // Hands `bytes` (a copy) to the thread, which writes them after what it
  // was given before, a whole buffer at a time. Returns at once unless a
  // buffer is full and the thread is still writing the other one. After a
  // failed write the rest is dropped (Finish reports it).
  void Write(std::string_view bytes);

  // Writes what is left and ends the thread. Returns 0, or the error number
  // of the first write that failed. Called once; the destructor calls it
  // when the caller did not.
  [[nodiscard]] int Finish();

 private:
  void HandOver(std::size_t bytes);
  void Run();
  // Writes `bytes` on the calling thread, unless a write failed before.
  void WriteHere(std::string_view bytes);

  int fd_;
  // The caller fills one buffer while the thread writes the other.
  std::unique_ptr<char[]> buffers_[2];
  int filling_ = 0;
  std::size_t filled_ = 0;  // bytes in the buffer being filled

  std::mutex mutex_;
  std::condition_variable changed_;
  // Guarded by mutex_: a buffer handed over and not yet written, and
  // whether the caller is done.
  bool pending_ = false;
  std::size_t pending_bytes_ = 0;
  int pending_index_ = 0;
  bool finishing_ = false;

  int error_number_ = 0;  // the thread's own until it has been joined
  EarlyWriteback writeback_;
  bool finished_ = false;
  // Not joinable when no thread could be started: the caller then writes.
  std::thread thread_;
};

}  // namespace ostrevin
