// Fuzz target for conversion tables: UnescapeTableField, LoadConversionTable
// in both modes, ReplaceAll against a slow reference walk, and the table
// applied to a text (a simple table also as a chain over small blocks,
// whole and fed in pieces).
//
// Input: one choice byte (bit 0: pattern mode; the others: the chain's block
// size), then fields separated by 0x00 bytes: the search string, the
// replacement, the text; whatever follows is the table file.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/host.h"
#include "core/shift_jis.h"
#include "fuzz/fuzz_files.h"
#include "fuzz/fuzz_input.h"
#include "tables/conversion_table.h"
#include "tables/replacement_chain.h"

namespace {

using namespace ostrevin;
using fuzz::Require;

// Answers No and counts messages.
class QuietHost : public Host {
 public:
  int messages = 0;
  bool AskYesNo(std::string_view, std::string_view, MessageIcon) override { return false; }
  void ShowMessage(std::string_view, std::string_view, MessageIcon) override { ++messages; }
  void SetStatus(std::string_view) override {}
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
  void SetBusy(bool) override {}
  void Beep() override {}
};

// ReplaceAll the obvious way: walk whole Shift-JIS characters from the left
// and take the search string wherever it starts at the walk's position.
std::string ReferenceReplaceAll(std::string_view text, std::string_view search,
                                std::string_view replacement, std::size_t& count) {
  count = 0;
  if (search.empty()) return std::string(text);
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.substr(i).starts_with(search)) {
      out.append(replacement);
      i += search.size();
      ++count;
      continue;
    }
    const std::size_t step = sjis::CharLength(text.data(), i, text.size());
    out.append(text.substr(i, step));
    i += step;
  }
  return out;
}

void CheckUnescape(std::string_view field) {
  std::string decoded(field);
  UnescapeTableField(decoded);
  const std::string detail = fuzz::Hex(field);
  Require(decoded.size() <= field.size(), "UnescapeTableField never lengthens a field", detail);
  if (field.find('\0') == std::string_view::npos) {
    Require(decoded.find('\0') == std::string::npos, "decoding never makes a NUL byte", detail);
  }
  if (field.find('\\') == std::string_view::npos) {
    Require(decoded == field, "a field without a backslash is kept as it is", detail);
  }
}

void CheckReplaceAll(std::string_view text, std::string_view search, std::string_view replacement) {
  std::size_t expected_count = 0;
  const std::string expected = ReferenceReplaceAll(text, search, replacement, expected_count);
  std::string actual(text);
  const std::size_t count = ReplaceAll(actual, search, replacement);
  const std::string detail =
      fuzz::Hex(text) + " | " + fuzz::Hex(search) + " | " + fuzz::Hex(replacement);
  Require(count == expected_count, "ReplaceAll counts the occurrences the walk takes", detail);
  Require(actual == expected, "ReplaceAll agrees with the reference walk", detail);
}

void CheckTable(const ConversionTable& table, bool pattern_mode, std::string_view file) {
  const std::string detail = fuzz::Hex(file);
  for (std::size_t i = 0; i < table.size(); ++i) {
    const std::string_view entry = table.Search(i);
    Require(entry.find('\0') == std::string_view::npos, "no entry holds a NUL byte", detail);
    // A simple entry may hold an LF written as an escape; a pattern line not.
    Require(!pattern_mode || entry.find('\n') == std::string_view::npos,
            "no pattern command holds an LF byte", detail);
    Require(!pattern_mode || !entry.starts_with('#'), "comment lines are not entries", detail);
    Require(entry.size() <= file.size(), "an entry is no longer than the file", detail);
    Require(!pattern_mode || table.Replacement(i).empty(), "a pattern command has no replacement",
            detail);
    Require(table.Replacement(i).find('\0') == std::string_view::npos,
            "no replacement holds a NUL byte", detail);
  }
}

// Applying a table entry by entry can multiply the text by each entry's
// growth ("a" -> "aa" ten times makes it 1024 times as long): a table's
// meaning, not a fault. Inputs whose worst case passes this size are not
// applied, so that the fuzzer does not spend its time copying.
constexpr std::size_t kMaxAppliedBytes = 1 << 20;

bool GrowthFits(const ConversionTable& table, bool pattern_mode, std::size_t text_size) {
  std::size_t bound = std::max<std::size_t>(text_size, 1);
  for (std::size_t i = 0; i < table.size(); ++i) {
    // At most one copy of the replacement per byte of text; a pattern
    // command's replacement can repeat the whole match, up to once per byte
    // of the command.
    const std::size_t factor = pattern_mode ? table.Command(i).size() : table.Replacement(i).size();
    if (factor > 1) bound *= factor;
    if (bound > kMaxAppliedBytes) return false;
  }
  return true;
}

// A pattern table against its commands run one table line at a time: runs
// of literal commands share one pass, which must not show. A text emptied on
// the way is not comparable (the whole table's next command meets it, a
// table of one line would not run), nor is one that reached a NUL byte.
void CheckOneAtATime(const ConversionTable& table, std::string_view text, std::string_view whole,
                     bool whole_changed, int whole_messages) {
  std::string steps(text);
  bool changed = false;
  QuietHost host;
  for (std::size_t i = 0; i < table.size(); ++i) {
    ConversionTable line;
    line.AddCommand(table.Command(i));
    const int before = host.messages;
    const bool completed = ApplyConversionTable(steps, line, 1, host, changed);
    if (!completed && host.messages == before) return;  // a NUL byte stopped it
    if (!completed) break;
    if (steps.empty()) return;
  }
  Require(steps == whole && changed == whole_changed && host.messages == whole_messages,
          "a pattern table gives what its commands give one at a time", fuzz::Hex(text));
}

// The simple mode runs the entries as a chain over blocks of the text: it
// gives what ReplaceAll gives entry by entry over the whole text, whatever
// the block size and however the text is cut into pieces.
void CheckChain(const ConversionTable& table, std::string_view text, std::string_view whole,
                bool whole_changed, std::size_t block) {
  std::string steps(text);
  bool changed = false;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (ReplaceAll(steps, table.Search(i), table.Replacement(i)) > 0) changed = true;
  }
  const std::string detail = fuzz::Hex(text) + " block " + std::to_string(block);
  Require(steps == whole && changed == whole_changed,
          "the simple mode gives what ReplaceAll gives entry by entry", detail);
  std::string pieces;
  ReplacementChain chain(table, block);
  const bool chain_changed = chain.Run(text, [&](std::string_view piece) { pieces += piece; });
  Require(pieces == whole && chain_changed == changed,
          "the chain gives the same in blocks of any size", detail);
  // The same chain again, the text fed in pieces of sizes about and across
  // its block.
  pieces.clear();
  const std::size_t sizes[] = {0, 1, block, 3, 2 * block + 1};
  for (std::size_t at = 0, i = 0; at < text.size(); ++i) {
    const std::size_t size = std::min(sizes[i % 5], text.size() - at);
    chain.Feed(text.substr(at, size), [&](std::string_view piece) { pieces += piece; });
    at += size;
  }
  const bool fed_changed = chain.Finish([&](std::string_view piece) { pieces += piece; });
  Require(pieces == whole && fed_changed == changed,
          "the chain gives the same fed in pieces of any size", detail);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const std::uint8_t choice = input.TakeByte();
  const std::string_view search = input.TakeField('\0');
  const std::string_view replacement = input.TakeField('\0');
  const std::string_view text = input.TakeField('\0');
  const std::string_view file = input.Rest();

  CheckUnescape(search);
  CheckUnescape(file);
  CheckReplaceAll(text, search, replacement);

  const fuzz::ScratchFolder folder;
  const std::string path = folder.Write("table.txt", file);
  QuietHost host;
  const bool pattern_mode = (choice & 1) != 0;
  ConversionTable table;
  // The file is read up to its first 0x1A byte; a NUL byte before it refuses
  // the whole table with one message.
  const std::string_view read = file.substr(0, file.find('\x1a'));
  if (read.find('\0') != std::string_view::npos) {
    Require(!LoadConversionTable(path, pattern_mode, table, host) && table.empty(),
            "a table holding a NUL byte is refused and left empty", fuzz::Hex(file));
    Require(host.messages == 1, "a refused table shows one message");
    return 0;
  }
  Require(LoadConversionTable(path, pattern_mode, table, host), "a readable table loads");
  Require(host.messages == 0, "loading a readable table shows nothing");
  CheckTable(table, pattern_mode, file);

  // The loaded table over the text: the change flag is set exactly when the
  // text changed (simple mode), and only ever set.
  if (!GrowthFits(table, pattern_mode, text.size())) return 0;
  std::string converted(text);
  bool changed = false;
  const bool completed =
      ApplyConversionTable(converted, table, pattern_mode ? 1 : 0, host, changed);
  if (pattern_mode) {
    CheckOneAtATime(table, text, converted, changed, host.messages);
  } else {
    Require(completed, "the simple mode always completes");
    CheckChain(table, text, converted, changed, 1 + (choice >> 1) % 64);
  }
  return 0;
}
