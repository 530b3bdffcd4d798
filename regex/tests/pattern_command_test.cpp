// The command interface: flag letters, the entry points' argument
// checks and messages, record reuse, result texts, and deep single-line
// inputs that must not exhaust the call stack.
#include "regex/pattern_command.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "regex/pattern_engine.h"
#include "regex/pattern_record.h"

namespace ostrevin::regex {
namespace {

// Each flag letter sets its bit; other letters are ignored (command shapes
// and separators are in commands.cases).
TEST(FlagLetters, Bits) { EXPECT_EQ(ParseFlagLetters("iogmkcdsxyz"), 0x1C51A0u); }

// --- Entry points: arguments and messages ---------------------------------------

// The entry point that does not take a command's kind refuses it (the other
// results are in commands.cases, where "tr" commands go to PatternTranslate).
TEST(EntryPoints, ResultsAndMessages) {
  const auto expect = [](const PatternResult& r, const char* message) {
    EXPECT_EQ(r.count, -1);
    EXPECT_EQ(r.message, message);
  };
  expect(PatternSlot().Translate("", "abc"), "invalid reg parameter");
  expect(PatternSlot().Execute("tr/a/b/", "abc"), "");
  expect(PatternSlot().Translate("m/a/", "abc"), "no translate parameter");
}

// Argument checks of the raw entry points; the message buffer is emptied on
// entry.
TEST(EntryPoints, ArgumentChecks) {
  PatternRecord* slot = nullptr;
  const char text[] = "abc";
  EXPECT_EQ(PatternExecute("m/a/", text, text + 3, &slot, nullptr), -1);
  EXPECT_EQ(PatternTranslate("tr/a/b/", text, text + 3, &slot, nullptr), -1);
  char message[kMessageBufferSize] = "stale";
  EXPECT_EQ(PatternExecute("m/a/", text, text + 3, nullptr, message), -1);
  EXPECT_STREQ(message, "invalid record parameter");
  std::strcpy(message, "stale");
  EXPECT_EQ(PatternTranslate("tr/a/b/", text, text + 3, nullptr, message), -1);
  EXPECT_STREQ(message, "invalid record parameter");
  for (const auto& [begin, end] : {std::pair<const char*, const char*>{nullptr, text + 3},
                                   {text + 3, text},
                                   {text, nullptr}}) {
    std::strcpy(message, "stale");
    EXPECT_EQ(PatternExecute("m/a/", begin, end, &slot, message), -1);
    EXPECT_STREQ(message, "invalid target parameter");
  }
  EXPECT_EQ(slot, nullptr);
  std::strcpy(message, "left over");
  EXPECT_EQ(PatternExecute("m/b/", text, text + 3, &slot, message), 1);
  EXPECT_STREQ(message, "");
  PatternFree(slot);
  PatternFree(nullptr);  // ignored
}

// A failed parse or an "s" command given to PatternTranslate leaves the slot
// empty.
TEST(EntryPoints, FailuresClearTheSlot) {
  PatternSlot slot;
  ASSERT_EQ(slot.Execute("s/a/b/", "abc").count, 1);
  ASSERT_NE(slot.record(), nullptr);
  EXPECT_EQ(slot.Translate("s/a/b/", "abc").message, "no translate parameter");
  EXPECT_EQ(slot.record(), nullptr);
  ASSERT_EQ(slot.Execute("m/a/", "abc").count, 1);
  EXPECT_EQ(slot.Execute("m/(/", "abc").count, -1);
  EXPECT_EQ(slot.record(), nullptr);
}

// --- Record reuse ----------------------------------------------------------------

// A mark that a fresh record never carries: a reused record keeps it, a
// recompiled one does not (even when the allocator hands back the address).
void Mark(PatternRecord* record) { record->replacementStart = reinterpret_cast<const char*>(1); }
bool Marked(const PatternRecord* record) {
  return record->replacementStart == reinterpret_cast<const char*>(1);
}

// The same command, or an empty one, reuses the record; a changed flag letter
// compiles afresh.
TEST(RecordReuse, SameOrEmptyCommandReusesTheRecord) {
  PatternSlot slot;
  ASSERT_EQ(slot.Execute("m/b/", "abc").count, 1);
  Mark(slot.record());
  ASSERT_EQ(slot.Execute("m/b/", "xbx").count, 1);
  EXPECT_TRUE(Marked(slot.record()));
  EXPECT_EQ(slot.Group(0)->begin, 1u);
  EXPECT_EQ(slot.Execute("", "xxbb").count, 1);
  EXPECT_TRUE(Marked(slot.record()));
  EXPECT_EQ(slot.Group(0)->begin, 2u);
  ASSERT_EQ(slot.Execute("m/b/i", "aBc").count, 1);
  EXPECT_FALSE(Marked(slot.record()));
  // A command that is a prefix of the last one is another command.
  EXPECT_EQ(slot.Execute("m/b/", "aBc").count, 0);
}

TEST(RecordReuse, TransliterationRecordsOnlyReusedByTranslate) {
  PatternSlot slot;
  ASSERT_EQ(slot.Translate("tr/a/b/", "aa").count, 2);
  Mark(slot.record());
  ASSERT_EQ(slot.Translate("tr/a/b/", "a").count, 1);
  EXPECT_TRUE(Marked(slot.record()));
  EXPECT_EQ(slot.Execute("tr/a/b/", "a").count, -1);  // recompiled, then empty pattern
  EXPECT_FALSE(Marked(slot.record()));
}

// The required literal's usefulness counter may drop the literal during a
// run; the next run with the same record must still count the same.
TEST(RecordReuse, DroppingTheRequiredLiteralKeepsResults) {
  const std::string text = std::string(153, '#') + std::string(21, '\x86') + "###";
  for (const char* command : {"s/a*###/X/g", "s/a*###/X/gk"}) {
    PatternSlot slot;
    const int fresh = slot.Execute(command, text).count;
    EXPECT_EQ(slot.Execute(command, text).count, fresh) << command;
    EXPECT_EQ(fresh, std::string(command).back() == 'k' ? 51 : 52) << command;
  }
}

TEST(RecordReuse, KindBitsAndVerbatimBit) {
  PatternSlot slot;
  ASSERT_EQ(slot.Execute("s/a/b/g", "a").count, 1);
  EXPECT_EQ(slot.record()->flags, 0x100u | 0x10000u | 0x40u);
  ASSERT_EQ(slot.Execute("s/a/$&$&/", "a").count, 1);
  EXPECT_EQ(slot.record()->flags, 0x10000u);
  ASSERT_EQ(slot.Translate("tr/a/b/d", "a").count, 1);
  EXPECT_EQ(slot.record()->flags, 0x20000u | 0x80000u);
  ASSERT_EQ(slot.Execute("m/a/i", "a").count, 1);
  EXPECT_EQ(slot.record()->flags, 0x20u);
}

// --- Result texts -----------------------------------------------------------------

// A match copies a non-empty group 1; the previous result is released before
// each run; a substitution's result is NUL-terminated.
TEST(ResultText, MatchGroupOneAndSubstitutionText) {
  PatternSlot slot;
  PatternResult r = slot.Execute("m/(b+)c/", "abbc");
  EXPECT_EQ(r.count, 1);
  EXPECT_EQ(r.text, "bb");
  EXPECT_EQ(slot.Execute("m/(b+)c/", "xyz").count, 0);
  EXPECT_EQ(slot.record()->resultStart, nullptr);
  for (const char* command : {"m/bc/", "m/a(x*)b/"}) {
    EXPECT_EQ(slot.Execute(command, "abc").count, 1) << command;
    EXPECT_EQ(slot.record()->resultStart, nullptr) << command;
  }
  r = slot.Execute("s/b/xyz/", "abc");
  ASSERT_EQ(r.count, 1);
  EXPECT_EQ(r.text, "axyzc");
  EXPECT_EQ(*slot.record()->resultEnd, '\0');
}

// --- Deep single-line inputs through the substitution loop ----------------------

// A global run with thousands of matches over a 3 MB line, and a lazy repeat
// across the whole line, complete without exhausting the call stack (the
// matcher's own deep subjects are in matcher_test).
TEST(DeepInput, GlobalAndLazyRunsOverALongLine) {
  constexpr std::size_t kDeep = 3'000'000;
  std::string blocks;
  for (std::size_t i = 0; i < kDeep / 1000; ++i) blocks += std::string(999, 'a') + "<";
  PatternSlot slot;
  PatternResult r = slot.Execute("s/[^<]*<//g", blocks + "tail");
  EXPECT_EQ(r.message, "");
  EXPECT_EQ(r.count, static_cast<std::int32_t>(kDeep / 1000));
  EXPECT_EQ(r.text, "tail");
  r = slot.Execute("s/<.*?>//g", "<" + std::string(kDeep, 'a') + ">z");
  EXPECT_EQ(r.message, "");
  EXPECT_EQ(r.count, 1);
  EXPECT_EQ(r.text, "z");
}

}  // namespace
}  // namespace ostrevin::regex
