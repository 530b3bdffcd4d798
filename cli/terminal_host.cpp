#include "cli/terminal_host.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace ostrevin::cli {

namespace {

constexpr int kBarWidth = 30;

void Write(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// One line from `stream`, without its line end; false at the end of input.
bool ReadLine(std::FILE* stream, std::string& line) {
  line.clear();
  for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream)) {
    if (c == '\n') return true;
    line.push_back(static_cast<char>(c));
  }
  return !line.empty();
}

}  // namespace

bool IsYesAnswer(std::string_view answer) {
  answer = Trimmed(answer);
  if (answer == "はい") return true;
  std::string lower(answer);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower == "y" || lower == "yes";
}

TerminalHost::TerminalHost(const TerminalSettings& settings)
    : settings_(settings),
      stdin_is_terminal_(isatty(STDIN_FILENO) == 1),
      stderr_is_terminal_(isatty(STDERR_FILENO) == 1) {}

TerminalHost::~TerminalHost() {
  if (tty_ != nullptr) std::fclose(tty_);
}

std::FILE* TerminalHost::AnswerStream() {
  if (!settings_.stdin_is_data) return stdin_is_terminal_ ? stdin : nullptr;
  if (tty_ == nullptr) tty_ = std::fopen("/dev/tty", "re");
  return tty_;
}

bool TerminalHost::AskYesNo(std::string_view text, std::string_view /*caption*/,
                            MessageIcon /*icon*/) {
  EraseBar();
  std::fflush(stdout);
  Write(stderr, text);
  Write(stderr, " [y/N] ");
  bool yes = false;
  std::FILE* answers = nullptr;
  if (settings_.answers == OverwriteAnswers::kYes) {
    Write(stderr, "y (--yes)\n");
    yes = true;
  } else if (answers = AnswerStream(); answers == nullptr) {
    Write(stderr, "n (no terminal to answer on)\n");
  } else {
    std::fflush(stderr);
    std::string line;
    if (ReadLine(answers, line)) yes = IsYesAnswer(line);
  }
  std::fflush(stderr);
  DrawBar();
  return yes;
}

void TerminalHost::ShowMessage(std::string_view text, std::string_view /*caption*/,
                               MessageIcon /*icon*/) {
  EraseBar();
  std::fflush(stdout);
  Write(stderr, text);
  Write(stderr, "\n");
  std::fflush(stderr);
  DrawBar();
}

void TerminalHost::SetStatus(std::string_view text) {
  if (settings_.quiet) return;
  EraseBar();
  std::FILE* stream = settings_.status_to_stderr ? stderr : stdout;
  Write(stream, text);
  Write(stream, "\n");
  std::fflush(stream);
  DrawBar();
}

void TerminalHost::SetProgressRange(int low, int high) {
  low_ = low;
  high_ = high;
}

void TerminalHost::SetProgressPosition(int position) {
  // The bar is a status display too: --quiet asks for none.
  if (settings_.quiet) return;
  position_ = position;
  if (position_ >= high_) {
    EraseBar();  // the run is over
    return;
  }
  bar_shown_ = true;
  DrawBar();
}

void TerminalHost::EraseBar() {
  if (!stderr_is_terminal_ || !bar_shown_) return;
  Write(stderr, "\r\x1b[K");
  std::fflush(stderr);
}

void TerminalHost::DrawBar() {
  if (!stderr_is_terminal_ || !bar_shown_ || position_ >= high_) return;
  const int span = high_ > low_ ? high_ - low_ : 1;
  const int done = static_cast<int>(static_cast<long long>(position_ - low_) * kBarWidth / span);
  std::string bar = "\r[";
  bar.append(static_cast<std::size_t>(done), '#');
  bar.append(static_cast<std::size_t>(kBarWidth - done), '.');
  bar += "] " + std::to_string(position_) + "/" + std::to_string(high_);
  Write(stderr, bar);
  std::fflush(stderr);
}

}  // namespace ostrevin::cli
