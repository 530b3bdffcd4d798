// One pass for a run of literal substitution commands.
//
// Why one pass gives what the commands give one after the other, when every
// command joined its run (JoinsRun):
//  - Without "k" the engine compares bytes: each command replaces the
//    leftmost non-overlapping occurrences of its search string, wherever
//    they start, trail bytes included.
//  - A later search string holds no byte of an earlier replacement, and no
//    replacement but the last one is empty: an occurrence that a later command finds lies in
//    bytes that no earlier command touched and that stood side by side
//    before it ran. So each command finds exactly the occurrences of its
//    search string in the text as the run found it, less those that overlap
//    one an earlier command replaced.
//  - Occurrences of two search strings of a run never overlap, so none is
//    lost that way: every command replaces the same occurrences it would
//    replace in the first text, and what the run gives is all of them
//    replaced at once, left to right. Nothing a replacement inserts is read
//    again, by the command or by a later one.
//  - A non-empty text stays non-empty until the last command (every
//    occurrence leaves a non-empty replacement), so no command of the run
//    meets the empty text that the engine would refuse with a message.
#include "tables/literal_commands.h"

#include <algorithm>
#include <cstring>
#include <variant>
#include <vector>

#include "core/byte_search.h"
#include "regex/pattern_command.h"
#include "regex/pattern_record.h"

namespace ostrevin {
namespace {

constexpr std::string_view kPatternMeta = "\\^$.[]|()?*+{}";
constexpr std::string_view kReplacementMeta = "\\$@";

bool HoldsAny(std::string_view text, std::string_view bytes) {
  return text.find_first_of(bytes) != std::string_view::npos;
}

// Whether some text can hold an occurrence of `a` and one of `b` that share
// a byte: `b` starting `shift` bytes after `a` (negative: before) agrees with
// `a` wherever both stand.
bool CanOverlap(std::string_view a, std::string_view b) {
  const auto la = static_cast<std::ptrdiff_t>(a.size());
  const auto lb = static_cast<std::ptrdiff_t>(b.size());
  for (std::ptrdiff_t shift = 1 - lb; shift < la; ++shift) {
    const std::ptrdiff_t from = std::max<std::ptrdiff_t>(0, shift);
    const std::ptrdiff_t to = std::min(la, shift + lb);
    bool agree = true;
    for (std::ptrdiff_t i = from; i < to && agree; ++i) agree = a[i] == b[i - shift];
    if (agree) return true;
  }
  return false;
}

}  // namespace

std::optional<LiteralCommand> AsLiteralCommand(std::string_view command) {
  if (command.size() < 2 || command[0] != 's' || static_cast<unsigned char>(command[1]) >= 0x40) {
    return std::nullopt;
  }
  const auto split = regex::SplitPatternCommand(command);
  const auto* parts = std::get_if<regex::CommandParts>(&split);
  if (parts == nullptr || parts->kind != regex::CommandKind::kSubstitution) return std::nullopt;
  if ((parts->flags & ~regex::kFlagOnce) != regex::kFlagGlobal) return std::nullopt;
  const std::string_view search =
      command.substr(parts->first_begin, parts->first_end - parts->first_begin);
  const std::string_view replacement =
      command.substr(parts->second_begin, parts->second_end - parts->second_begin);
  if (search.empty() || HoldsAny(search, kPatternMeta) || HoldsAny(replacement, kReplacementMeta)) {
    return std::nullopt;
  }
  return LiteralCommand{search, replacement};
}

bool JoinsRun(std::span<const LiteralCommand> run, const LiteralCommand& next) {
  for (const LiteralCommand& earlier : run) {
    if (earlier.replacement.empty() || HoldsAny(next.search, earlier.replacement) ||
        CanOverlap(earlier.search, next.search)) {
      return false;
    }
  }
  return true;
}

std::size_t ReplaceLiteralRun(std::string_view text, std::span<const LiteralCommand> run,
                              std::string& result) {
  std::vector<ByteSearch> searches;
  std::vector<std::size_t> next;
  searches.reserve(run.size());
  for (const LiteralCommand& command : run) {
    searches.emplace_back(text, command.search);
    next.push_back(searches.back().Find(0));
  }
  std::size_t count = 0;
  std::size_t copied = 0;
  while (true) {
    const auto first = std::min_element(next.begin(), next.end());
    if (*first == ByteSearch::kNone) break;
    const auto k = static_cast<std::size_t>(first - next.begin());
    const std::size_t p = *first;
    if (count == 0) {
      result.clear();
      result.reserve(text.size());
    }
    result.append(text.substr(copied, p - copied));
    result.append(run[k].replacement);
    copied = p + run[k].search.size();
    *first = searches[k].Find(copied);
    ++count;
  }
  if (count > 0) result.append(text.substr(copied));
  return count;
}

}  // namespace ostrevin
