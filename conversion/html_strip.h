// HTML stripping: tag removal, the five entity commands run through the
// pattern engine, and the collapse of blank-line runs.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace ostrevin {

// Removes every tag from `text` in place: each "<" and every byte after it up
// to and including the next ">" (to the end of the text when no ">" follows).
// A "<" inside a tag starts nothing new. The scan is byte-wise: neither 0x3C
// nor 0x3E is ever the trail byte of a Shift-JIS character. Returns true when
// the text held at least one "<".
[[nodiscard]] bool StripHtmlTags(std::string& text);

// Runs one substitution command (NUL-terminated) over the whole of `text`
// through PatternExecute and takes over the new text when the count is
// positive; the new text has the length the engine reports, NUL bytes
// included. Returns the engine's count, or 0 when the engine refused (an
// empty text is not passed to the engine at all). The engine's message is not
// shown: the callers' commands are fixed and well formed.
[[nodiscard]] std::int32_t ApplyPatternCommand(std::string& text, const char* command);

// The five entity commands, in the order they run. "&amp;" comes last, so
// "&amp;lt;" becomes "&lt;" and not "<".
inline constexpr std::array<const char*, 5> kHtmlEntityCommands = {
    "s/&nbsp;/ /ig",      // &nbsp; -> one space
    R"(s/&quot;/\"/ig)",  // &quot; -> '"' (the backslash escapes the quote)
    "s/&gt;/>/ig",        // &gt; -> >
    "s/&lt;/</ig",        // &lt; -> <
    "s/&amp;/&/ig",       // &amp; -> &
};

// Runs the five entity commands in order over the current text; true when
// any of them returned a positive count.
[[nodiscard]] bool ReplaceHtmlEntities(std::string& text);

// ReplaceHtmlEntities then CollapseBlankLines, in one pass over the text
// and in place; true when either would have reported a change. Gives the
// same bytes as the two steps for every text (conversion/html_strip.cpp says
// why); the two steps stay as its reference.
[[nodiscard]] bool ReplaceEntitiesAndCollapseBlankLines(std::string& text);

// Shortens every run of three or more LF bytes to two: ReplaceAll(text,
// "\n\n\n", "\n\n") repeated until it replaces nothing. True when the first
// call replaced anything. A line of blanks is not empty for this rule.
[[nodiscard]] bool CollapseBlankLines(std::string& text);

}  // namespace ostrevin
