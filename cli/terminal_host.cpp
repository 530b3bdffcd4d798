#include "cli/terminal_host.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

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

TerminalHost::TerminalHost(OverwriteAnswers answers)
    : answers_(answers),
      stdin_is_terminal_(isatty(STDIN_FILENO) == 1),
      stderr_is_terminal_(isatty(STDERR_FILENO) == 1) {}

bool TerminalHost::AskYesNo(std::string_view text, std::string_view /*caption*/,
                            MessageIcon /*icon*/) {
  EraseBar();
  std::fflush(stdout);
  Write(stderr, text);
  Write(stderr, " [y/N] ");
  bool yes = false;
  if (answers_ == OverwriteAnswers::kYes) {
    Write(stderr, "y (--yes)\n");
    yes = true;
  } else if (!stdin_is_terminal_) {
    Write(stderr, "n (standard input is not a terminal)\n");
  } else {
    std::fflush(stderr);
    std::string line;
    if (std::getline(std::cin, line)) yes = IsYesAnswer(line);
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
  EraseBar();
  Write(stdout, text);
  Write(stdout, "\n");
  std::fflush(stdout);
  DrawBar();
}

void TerminalHost::SetProgressRange(int low, int high) {
  low_ = low;
  high_ = high;
}

void TerminalHost::SetProgressPosition(int position) {
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
