// The command interface: grammar, flag letters, the entry points' argument
// checks and messages, record reuse, result texts, and deep single-line
// inputs that must not exhaust the call stack.
#include "regex/pattern_command.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "regex/pattern_engine.h"
#include "regex/pattern_record.h"

namespace ostrevin::regex {
namespace {

// --- Grammar: kinds, separators, escapes ---------------------------------------

struct SplitCase {
  std::string command;
  CommandKind kind;
  std::string first;
  std::string second;
  std::uint32_t flags;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.command; }

class SplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTest, Splits) {
  const SplitCase& c = GetParam();
  const auto split = SplitPatternCommand(c.command);
  ASSERT_TRUE(std::holds_alternative<CommandParts>(split))
      << c.command << ": " << std::get<const char*>(split);
  const CommandParts& parts = std::get<CommandParts>(split);
  const std::string_view command(c.command);
  EXPECT_EQ(parts.kind, c.kind) << c.command;
  EXPECT_EQ(command.substr(parts.first_begin, parts.first_end - parts.first_begin), c.first)
      << c.command;
  EXPECT_EQ(command.substr(parts.second_begin, parts.second_end - parts.second_begin), c.second)
      << c.command;
  EXPECT_EQ(parts.flags, c.flags) << c.command;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SplitTest,
    ::testing::Values(SplitCase{"/abc/", CommandKind::kMatch, "abc", "", 0},
                      SplitCase{"m/abc/gi", CommandKind::kMatch, "abc", "", 0x120},
                      SplitCase{"m#a/b#", CommandKind::kMatch, "a/b", "", 0},
                      SplitCase{"m/a/b/i", CommandKind::kMatch, "a", "b", 0x20},
                      SplitCase{"s/a\\/b/c/", CommandKind::kSubstitution, "a\\/b", "c", 0},
                      SplitCase{"s/a\\\\/b/", CommandKind::kSubstitution, "a\\\\", "b", 0},
                      SplitCase{"s#a\\#b#c#", CommandKind::kSubstitution, "a\\#b", "c", 0},
                      SplitCase{"s#a\\/#b#", CommandKind::kSubstitution, "a\\/", "b", 0},
                      SplitCase{"s/a/b/xyz", CommandKind::kSubstitution, "a", "b", 0},
                      SplitCase{"s/a/b/gg", CommandKind::kSubstitution, "a", "b", 0x100},
                      SplitCase{"s/a/b/iogmkcds", CommandKind::kSubstitution, "a", "b", 0x1C51A0},
                      SplitCase{"s/a//", CommandKind::kSubstitution, "a", "", 0},
                      SplitCase{"tr/a-z/A-Z/", CommandKind::kTransliteration, "a-z", "A-Z", 0},
                      SplitCase{"tr:a:b:cds", CommandKind::kTransliteration, "a", "b", 0x1C0000},
                      // ソ is 0x83 0x5C: its trail byte neither escapes nor ends a part.
                      SplitCase{"s/\x83\x5C/x/", CommandKind::kSubstitution, "\x83\x5C", "x", 0},
                      // 0x82 0x2F: a lead byte followed by the separator byte "/".
                      SplitCase{"s/\x82/x/y/", CommandKind::kSubstitution, "\x82/x", "y", 0},
                      SplitCase{"m/\x83\x5C/k", CommandKind::kMatch, "\x83\x5C", "", 0x4000}));

struct SplitFailure {
  std::string command;
  std::string message;
};

void PrintTo(const SplitFailure& c, std::ostream* os) { *os << c.command; }

class SplitFailureTest : public ::testing::TestWithParam<SplitFailure> {};

TEST_P(SplitFailureTest, Fails) {
  const SplitFailure& c = GetParam();
  const auto split = SplitPatternCommand(c.command);
  ASSERT_TRUE(std::holds_alternative<const char*>(split)) << c.command;
  EXPECT_STREQ(std::get<const char*>(split), c.message.c_str()) << c.command;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SplitFailureTest,
    ::testing::Values(
        SplitFailure{"m/abc", "unmatch separater"}, SplitFailure{"s/a/b", "unmatch separater"},
        SplitFailure{"s", "unmatch separater"}, SplitFailure{"s/", "unmatch separater"},
        SplitFailure{"m", "unmatch separater"}, SplitFailure{"/", "unmatch separater"},
        SplitFailure{"tr/a", "unmatch separater"}, SplitFailure{"tr/a/b", "unmatch separater"},
        SplitFailure{"x/a/", "do not start 'm' or 's' or 'tr'"},
        SplitFailure{"t/a/b/", "do not start 'm' or 's' or 'tr'"},
        SplitFailure{"", "do not start 'm' or 's' or 'tr'"},
        SplitFailure{"m/a\\/", "unmatch separater"}));

// --- Entry points: arguments and messages ---------------------------------------

struct EntryCase {
  const char* name;
  bool translate;  // PatternTranslate instead of PatternExecute
  std::string command;
  std::string text;
  std::int32_t result;
  std::string message;
};

void PrintTo(const EntryCase& c, std::ostream* os) { *os << c.name; }

class EntryTest : public ::testing::TestWithParam<EntryCase> {};

TEST_P(EntryTest, Returns) {
  const EntryCase& c = GetParam();
  PatternSlot slot;
  const PatternResult r =
      c.translate ? slot.Translate(c.command, c.text) : slot.Execute(c.command, c.text);
  EXPECT_EQ(r.count, c.result) << c.name;
  EXPECT_EQ(r.message, c.message) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Messages, EntryTest,
    ::testing::Values(
        EntryCase{"empty text", false, "m/a/", "", -1, "invalid target parameter"},
        EntryCase{"empty text tr", true, "tr/a/b/", "", -1, "invalid target parameter"},
        EntryCase{"no command no record", false, "", "abc", -1, "invalid reg parameter"},
        EntryCase{"no command no record tr", true, "", "abc", -1, "invalid reg parameter"},
        EntryCase{"bad start", false, "x/a/", "abc", -1, "do not start 'm' or 's' or 'tr'"},
        EntryCase{"bad separator", false, "s/a/b", "abc", -1, "unmatch separater"},
        EntryCase{"compiler message", false, "m/(a/", "abc", -1, "unmatched () in regexp"},
        EntryCase{"compiler message in s", false, "s/a**/b/", "abc", -1, "nested *?+ in regexp"},
        EntryCase{"empty pattern", false, "m//", "abc", -1, ""},
        EntryCase{"empty pattern s", false, "s//x/", "abc", -1, ""},
        EntryCase{"tr through execute", false, "tr/a/b/", "abc", -1, ""},
        EntryCase{"s through translate", true, "s/a/b/", "abc", -1, "no translate parameter"},
        EntryCase{"m through translate", true, "m/a/", "abc", -1, "no translate parameter"},
        EntryCase{"empty search list", true, "tr//abc/", "abc", -1, ""},
        EntryCase{"match found", false, "m/b/", "abc", 1, ""},
        EntryCase{"match not found", false, "/x/", "abc", 0, ""},
        EntryCase{"separator inside", false, "m#a/b#", "xa/b", 1, ""},
        EntryCase{"tr count", true, "tr/a-z/A-Z/", "abc!", 3, ""}),
    [](const auto& info) {
      std::string name;
      for (const char c : std::string(info.param.name)) name += std::isalnum(c) ? c : '_';
      return name;
    });

TEST(EntryPoints, NoMessageBuffer) {
  PatternRecord* slot = nullptr;
  const char text[] = "abc";
  EXPECT_EQ(PatternExecute("m/a/", text, text + 3, &slot, nullptr), -1);
  EXPECT_EQ(PatternTranslate("tr/a/b/", text, text + 3, &slot, nullptr), -1);
  EXPECT_EQ(slot, nullptr);
}

TEST(EntryPoints, NoRecordSlot) {
  char message[kMessageBufferSize] = "stale";
  const char text[] = "abc";
  EXPECT_EQ(PatternExecute("m/a/", text, text + 3, nullptr, message), -1);
  EXPECT_STREQ(message, "invalid record parameter");
  std::strcpy(message, "stale");
  EXPECT_EQ(PatternTranslate("tr/a/b/", text, text + 3, nullptr, message), -1);
  EXPECT_STREQ(message, "invalid record parameter");
}

TEST(EntryPoints, MissingOrReversedRange) {
  char message[kMessageBufferSize];
  PatternRecord* slot = nullptr;
  const char text[] = "abc";
  EXPECT_EQ(PatternExecute("m/a/", nullptr, text + 3, &slot, message), -1);
  EXPECT_STREQ(message, "invalid target parameter");
  EXPECT_EQ(PatternExecute("m/a/", text + 3, text, &slot, message), -1);
  EXPECT_STREQ(message, "invalid target parameter");
  EXPECT_EQ(PatternExecute("m/a/", text, nullptr, &slot, message), -1);
  EXPECT_STREQ(message, "invalid target parameter");
  EXPECT_EQ(slot, nullptr);
}

TEST(EntryPoints, MessageEmptiedOnEntry) {
  char message[kMessageBufferSize] = "left over";
  PatternRecord* slot = nullptr;
  const char text[] = "abc";
  EXPECT_EQ(PatternExecute("m/b/", text, text + 3, &slot, message), 1);
  EXPECT_STREQ(message, "");
  PatternFree(slot);
}

TEST(EntryPoints, TranslateWithMatchCommandClearsSlot) {
  PatternSlot slot;
  ASSERT_EQ(slot.Execute("s/a/b/", "abc").count, 1);
  ASSERT_NE(slot.record(), nullptr);
  const PatternResult r = slot.Translate("s/a/b/", "abc");
  EXPECT_EQ(r.count, -1);
  EXPECT_EQ(r.message, "no translate parameter");
  EXPECT_EQ(slot.record(), nullptr);
}

TEST(EntryPoints, FailedParseLeavesEmptySlot) {
  PatternSlot slot;
  ASSERT_EQ(slot.Execute("m/a/", "abc").count, 1);
  EXPECT_EQ(slot.Execute("m/(/", "abc").count, -1);
  EXPECT_EQ(slot.record(), nullptr);
}

TEST(EntryPoints, PatternFreeIgnoresNull) { PatternFree(nullptr); }

// --- Record reuse ----------------------------------------------------------------

// A mark that a fresh record never carries: a reused record keeps it, a
// recompiled one does not (even when the allocator hands back the address).
void Mark(PatternRecord* record) { record->replacementStart = reinterpret_cast<const char*>(1); }
bool Marked(const PatternRecord* record) {
  return record->replacementStart == reinterpret_cast<const char*>(1);
}

TEST(RecordReuse, SameCommandCompilesOnce) {
  PatternSlot slot;
  ASSERT_EQ(slot.Execute("m/b/", "abc").count, 1);
  Mark(slot.record());
  ASSERT_EQ(slot.Execute("m/b/", "xbx").count, 1);
  EXPECT_TRUE(Marked(slot.record()));
  EXPECT_EQ(slot.Group(0)->begin, 1u);
}

TEST(RecordReuse, ChangedFlagLetterRecompiles) {
  PatternSlot slot;
  ASSERT_EQ(slot.Execute("m/b/", "abc").count, 1);
  Mark(slot.record());
  ASSERT_EQ(slot.Execute("m/b/i", "aBc").count, 1);
  EXPECT_FALSE(Marked(slot.record()));
}

TEST(RecordReuse, EmptyCommandReusesRecord) {
  PatternSlot slot;
  ASSERT_EQ(slot.Execute("m/b/", "abc").count, 1);
  Mark(slot.record());
  EXPECT_EQ(slot.Execute("", "xxbb").count, 1);
  EXPECT_TRUE(Marked(slot.record()));
  EXPECT_EQ(slot.Group(0)->begin, 2u);
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

TEST(ResultText, MatchCopiesNonEmptyGroupOne) {
  PatternSlot slot;
  PatternResult r = slot.Execute("m/(b+)c/", "abbc");
  EXPECT_EQ(r.count, 1);
  EXPECT_EQ(r.text, "bb");
  r = slot.Execute("m/bc/", "abc");
  EXPECT_EQ(r.count, 1);
  EXPECT_EQ(slot.record()->resultStart, nullptr);
  r = slot.Execute("m/a(x*)b/", "ab");
  EXPECT_EQ(r.count, 1);
  EXPECT_EQ(slot.record()->resultStart, nullptr);
}

TEST(ResultText, PreviousResultReleasedBeforeRun) {
  PatternSlot slot;
  ASSERT_EQ(slot.Execute("m/(b+)/", "abbc").count, 1);
  ASSERT_NE(slot.record()->resultStart, nullptr);
  EXPECT_EQ(slot.Execute("m/(b+)/", "xyz").count, 0);
  EXPECT_EQ(slot.record()->resultStart, nullptr);
}

TEST(ResultText, SubstitutionWithoutMatchLeavesNone) {
  PatternSlot slot;
  EXPECT_EQ(slot.Execute("s/x/y/", "abc").count, 0);
  EXPECT_EQ(slot.record()->resultStart, nullptr);
}

TEST(ResultText, ResultIsNulTerminated) {
  PatternSlot slot;
  const PatternResult r = slot.Execute("s/b/xyz/", "abc");
  ASSERT_EQ(r.count, 1);
  EXPECT_EQ(r.text, "axyzc");
  EXPECT_EQ(*slot.record()->resultEnd, '\0');
}

// --- Sound behaviour: deep single-line inputs -----------------------------------

struct DeepCase {
  const char* name;
  std::string command;
  std::string text;
  std::int32_t count;
  std::size_t result_size;  // size of the result text for "s"
  // A repeated operand wider than one character may end the run with a
  // message instead of completing; a one-character operand must complete.
  bool may_fail;
};

void PrintTo(const DeepCase& c, std::ostream* os) { *os << c.name; }

class DeepInputTest : public ::testing::TestWithParam<DeepCase> {};

// None of these may crash, whatever the stack size.
TEST_P(DeepInputTest, CompletesOrFailsWithMessage) {
  const DeepCase& c = GetParam();
  PatternSlot slot;
  const PatternResult r = slot.Execute(c.command, c.text);
  if (!r.message.empty()) {
    EXPECT_TRUE(c.may_fail) << c.name << " failed with: " << r.message;
    EXPECT_EQ(r.count, c.command[0] == 's' ? 0 : -1) << c.name;
    return;
  }
  EXPECT_EQ(r.count, c.count) << c.name;
  if (c.command[0] == 's' && c.count > 0) {
    EXPECT_EQ(r.text.size(), c.result_size) << c.name;
  }
}

std::string Repeat(std::string_view unit, std::size_t times) {
  std::string out;
  out.reserve(unit.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += unit;
  return out;
}

constexpr std::size_t kDeep = 3'000'000;

INSTANTIATE_TEST_SUITE_P(
    LongLines, DeepInputTest,
    ::testing::Values(
        DeepCase{"dot star", "s/.*x/y/", std::string(kDeep, 'a') + "x", 1, 1, false},
        DeepCase{"dot star no x", "s/.*x/y/", std::string(kDeep, 'a'), 0, 0, false},
        DeepCase{"dot star to the end", "s/a.*//", "x" + std::string(kDeep, 'a'), 1, 1, false},
        DeepCase{"negated class global", "s/[^<]*<//g",
                 Repeat(std::string(999, 'a') + "<", kDeep / 1000) + "tail",
                 static_cast<std::int32_t>(kDeep / 1000), 4, false},
        DeepCase{"negated class one long run", "s/[^<]*<//g", std::string(kDeep, 'a') + "<z", 1, 1,
                 false},
        DeepCase{"lazy dot", "s/<.*?>//g", "<" + std::string(kDeep, 'a') + ">z", 1, 1, false},
        DeepCase{"alternation in repeat", "m/(a|b)*c/", Repeat("ab", kDeep / 2) + "c", 1, 0, true},
        DeepCase{"group repeat global", "s/(?:ab)+//g", Repeat("ab", kDeep / 2) + "c", 1, 1, true}),
    [](const auto& info) {
      std::string name;
      for (const char c : std::string(info.param.name)) name += std::isalnum(c) ? c : '_';
      return name;
    });

}  // namespace
}  // namespace ostrevin::regex
