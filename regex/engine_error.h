// EngineError: the failure the engine raises inside itself; it carries one of
// the engine's fixed English message texts to the entry point that catches it.
#pragma once

#include <cstddef>
#include <cstring>
#include <exception>

namespace ostrevin::regex {

// Every entry point takes a caller's message buffer of this many bytes.
inline constexpr std::size_t kMessageBufferSize = 80;

class EngineError : public std::exception {
 public:
  // Copies the text (at most kMaxMessage bytes are kept), so a formatted
  // message such as "Sequence (?x...) not recognized" may live on the stack.
  explicit EngineError(const char* message) noexcept {
    std::size_t n = std::strlen(message);
    if (n > kMaxMessage) n = kMaxMessage;
    std::memcpy(message_, message, n);
    message_[n] = '\0';
  }
  [[nodiscard]] const char* message() const noexcept { return message_; }
  [[nodiscard]] const char* what() const noexcept override { return message_; }

 private:
  static constexpr std::size_t kMaxMessage = 63;
  char message_[kMaxMessage + 1];
};

// Copies a message, NUL included, into a caller's buffer of kMessageBufferSize
// bytes (a null buffer is ignored).
inline void CopyMessage(char* buffer, const char* message) noexcept {
  if (buffer == nullptr) return;
  std::size_t n = std::strlen(message);
  if (n >= kMessageBufferSize) n = kMessageBufferSize - 1;
  std::memcpy(buffer, message, n);
  buffer[n] = '\0';
}

}  // namespace ostrevin::regex
