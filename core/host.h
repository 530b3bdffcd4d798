// The core's only way to reach a person: questions, messages, status line,
// progress bar, busy cursor and beep. Each front end implements it; tests use
// a recording host.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace ostrevin {

enum class MessageIcon { kNone, kQuestion, kExclamation, kStop };

// The answer to a question that may be answered for the rest of a run as well.
enum class Answer { kYes, kNo, kYesToAll, kNoToAll };

// Texts are UTF-8, except that paths inside them are the file system's own bytes
// (normally UTF-8 too): a front end decodes them leniently for display.
class Host {
 public:
  virtual ~Host() = default;

  // A modal Yes/No question. Returns true only for Yes.
  [[nodiscard]] virtual bool AskYesNo(std::string_view text, std::string_view caption,
                                      MessageIcon icon) = 0;
  // The same question with two more answers, Yes and No for every question
  // of its kind until the run ends. A front end without such buttons asks
  // AskYesNo.
  [[nodiscard]] virtual Answer AskYesNoForAll(std::string_view text, std::string_view caption,
                                              MessageIcon icon) {
    return AskYesNo(text, caption, icon) ? Answer::kYes : Answer::kNo;
  }
  // A modal message with a single OK button.
  virtual void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) = 0;
  // The same message about each of several items (paths), "%1" in `text`
  // standing for the item. Every item gets its own ShowMessage unless the
  // front end gathers them: a window shows one box rather than a row of them.
  virtual void ShowMessageForEach(std::string_view text, std::span<const std::string> items,
                                  std::string_view caption, MessageIcon icon) {
    for (const std::string& item : items) ShowMessage(WithItem(text, item), caption, icon);
  }
  virtual void SetStatus(std::string_view text) = 0;
  virtual void SetProgressRange(int low, int high) = 0;
  virtual void SetProgressPosition(int position) = 0;
  virtual void SetBusy(bool busy) = 0;
  virtual void Beep() = 0;

  // `text` with its first "%1" replaced by `item`.
  [[nodiscard]] static std::string WithItem(std::string_view text, std::string_view item) {
    std::string out(text);
    if (const auto at = out.find("%1"); at != std::string::npos) out.replace(at, 2, item);
    return out;
  }
};

}  // namespace ostrevin
