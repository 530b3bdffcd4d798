// Helpers shared by the engine's unit tests: compile a pattern with flag
// letters and run the matcher over a subject, reporting offsets.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/testing/hex.h"
#include "regex/compiler.h"
#include "regex/engine_error.h"
#include "regex/matcher.h"
#include "regex/pattern_command.h"
#include "regex/program.h"

namespace ostrevin::regex::testing {

using Span = std::pair<long, long>;  // (start, end) offsets; -1 when a side is not set

struct Compiled {
  std::unique_ptr<PatternRecord> record;
  std::string message;
  std::uint32_t flags_out = 0;
};

inline Compiled Compile(std::string_view pattern, std::string_view letters = "") {
  Compiled result;
  std::uint32_t flags = ParseFlagLetters(letters);
  char message[kMessageBufferSize] = "junk";
  result.record = CompilePattern(pattern.data(), pattern.data() + pattern.size(), flags, message);
  result.message = message;
  result.flags_out = flags;
  return result;
}

struct MatchResult {
  int result = 0;
  std::string message;
  std::vector<Span> groups;  // one per group, 0 = the whole match
};

inline MatchResult Match(PatternRecord& record, const std::string& subject, std::size_t from = 0,
                         std::int32_t min_end = 0) {
  MatchResult out;
  char message[kMessageBufferSize] = "junk";
  const char* base = subject.c_str();
  out.result = MatchPattern(&record, base + from, base + subject.size(), base, min_end, message);
  out.message = message;
  for (std::int32_t g = 0; g <= record.groupCount; ++g) {
    const char* s = record.groupStart[static_cast<std::size_t>(g)];
    const char* e = record.groupEnd[static_cast<std::size_t>(g)];
    out.groups.emplace_back(s ? s - base : -1, e ? e - base : -1);
  }
  return out;
}

// Group `g` of the match of `pattern` (flag letters `letters`) in `subject`
// must be [begin, end); for group 0, begin -1 means "no match".
inline void ExpectGroup(std::string_view pattern, std::string_view letters,
                        const std::string& subject, int g, long begin, long end) {
  SCOPED_TRACE("pattern «" + std::string(pattern) + "»/" + std::string(letters) + " subject " +
               ostrevin::testing::Hex(subject.substr(0, 40)) + " group " + std::to_string(g));
  const Compiled c = Compile(pattern, letters);
  ASSERT_NE(c.record, nullptr) << c.message;
  const MatchResult m = Match(*c.record, subject);
  EXPECT_EQ(m.message, "");
  ASSERT_EQ(m.result, begin < 0 ? 0 : 1) << Dump(c.record->program);
  if (begin < 0) return;
  EXPECT_EQ(m.groups.at(static_cast<std::size_t>(g)), Span(begin, end));
}

inline void ExpectMatch(std::string_view pattern, std::string_view letters,
                        const std::string& subject, long begin, long end) {
  ExpectGroup(pattern, letters, subject, 0, begin, end);
}

inline void ExpectNoMatch(std::string_view pattern, std::string_view letters,
                          const std::string& subject) {
  ExpectGroup(pattern, letters, subject, 0, -1, -1);
}

}  // namespace ostrevin::regex::testing
