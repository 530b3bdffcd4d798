#include "conversion/overlapped_writer.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace ostrevin {

OverlappedWriter::OverlappedWriter(int fd, bool overlap) : fd_(fd), writeback_(fd) {
  if (!overlap) return;
  for (auto& buffer : buffers_) buffer = std::make_unique_for_overwrite<char[]>(kBufferBytes);
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    // Too many threads or too little memory for one: write as it comes.
  }
}

OverlappedWriter::~OverlappedWriter() { (void)Finish(); }

void OverlappedWriter::Write(std::string_view bytes) {
  if (!thread_.joinable()) {
    WriteHere(bytes);
    return;
  }
  while (!bytes.empty()) {
    const std::size_t take = std::min(bytes.size(), kBufferBytes - filled_);
    std::memcpy(buffers_[filling_].get() + filled_, bytes.data(), take);
    bytes.remove_prefix(take);
    filled_ += take;
    if (filled_ == kBufferBytes) HandOver(filled_);
  }
}

// Waits until the thread has written the other buffer, then gives it this
// one and fills the other next.
void OverlappedWriter::HandOver(std::size_t bytes) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !pending_; });
  pending_ = true;
  pending_bytes_ = bytes;
  pending_index_ = filling_;
  changed_.notify_all();
  lock.unlock();
  filling_ ^= 1;
  filled_ = 0;
}

void OverlappedWriter::Run() {
  while (true) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return pending_ || finishing_; });
    if (!pending_) return;
    const char* data = buffers_[pending_index_].get();
    const std::size_t size = pending_bytes_;
    lock.unlock();
    WriteHere({data, size});
    lock.lock();
    pending_ = false;
    changed_.notify_all();
  }
}

void OverlappedWriter::WriteHere(std::string_view bytes) {
  if (error_number_ != 0) return;
  error_number_ = WriteAllBytes(fd_, bytes).error_number;
  if (error_number_ == 0) writeback_.Wrote(bytes.size());
}

int OverlappedWriter::Finish() {
  if (finished_ || !thread_.joinable()) {
    finished_ = true;
    return error_number_;
  }
  if (filled_ != 0) HandOver(filled_);
  {
    std::lock_guard lock(mutex_);
    finishing_ = true;
    changed_.notify_all();
  }
  thread_.join();
  finished_ = true;
  return error_number_;
}

}  // namespace ostrevin
