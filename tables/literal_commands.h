// Runs of literal substitution commands in a pattern table ("s/東京/TOKYO/g"
// and the like), done in one pass over the text where that provably gives
// the bytes that running them one after the other through the engine gives.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ostrevin {

struct LiteralCommand {
  std::string_view search;       // not empty
  std::string_view replacement;  // copied as it stands
};

// The command as a literal substitution when the engine would read it as
// one: "s", a separator below 0x40 (so never a trail byte), a pattern with no
// byte the pattern language gives a meaning to (no "\", "^", "$", ".", "[",
// "]", "|", "(", ")", "?", "*", "+", "{", "}", wherever it stands), a
// replacement with no "\", "$" or "@", and the flag "g" alone ("o" may
// stand beside it). Views into `command`.
[[nodiscard]] std::optional<LiteralCommand> AsLiteralCommand(std::string_view command);

// Whether `next` may run in one pass with the commands of `run`, which run
// before it (see literal_commands.cpp for why these suffice):
//  - every replacement of the run is non-empty (`next`'s may be empty: it
//    runs last);
//  - no byte of a replacement of the run stands in `next`'s search string;
//  - no occurrence of `next`'s search string can overlap one of a search
//    string of the run, in any text.
[[nodiscard]] bool JoinsRun(std::span<const LiteralCommand> run, const LiteralCommand& next);

// Runs the commands of `run` over `text` in one pass and returns the number
// of replacements of all of them together; when it is not 0, `result` holds
// the new text (its former content is dropped, its memory reused).
std::size_t ReplaceLiteralRun(std::string_view text, std::span<const LiteralCommand> run,
                              std::string& result);

}  // namespace ostrevin
