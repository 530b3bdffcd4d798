// The pattern compiler: compiled programs byte for byte for the shapes the
// byte code defines, every compiler message, the flags handed back and the
// literal-run and class rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regex/tests/engine_test_support.h"

namespace ostrevin::regex {
namespace {

using testing::Compile;

std::vector<std::uint8_t> Bytes(const char* hex) {
  std::vector<std::uint8_t> out;
  for (const char* p = hex; *p != '\0';) {
    if (*p == ' ') {
      ++p;
      continue;
    }
    out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
    p += 2;
  }
  return out;
}

struct ProgramCase {
  const char* pattern;
  const char* letters;
  const char* hex;  // the whole program area
};

// Byte-for-byte programs. Links are little-endian, class codes high byte
// first, every node at an odd offset (7F fillers before even ones).
TEST(CompilerTest, ProgramsByteForByte) {
  const std::vector<ProgramCase> cases = {
      // ALTERNATIVE, LITERAL_RUN "abc", PROGRAM_END
      {"abc", "", "9C 0C0C00 7F 0E0800 03 616263 00 000000"},
      // STAR_SIMPLE over a one-byte run whose own link is 0
      {"a*", "", "9C 0C0E00 7F 100A00 7F 0E0000 01 61 00 000000"},
      // REPEAT_COMPLEX 0..32767 over ".", TAIL, EMPTY 4 bytes after the tail
      {".*", "", "9C 0C1800 7F 0B1000 0000 FF7F 7F 070400 7F 220000 7F 0F0400 7F 000000"},
      // LAZY_NEXT 4 bytes before REPEAT_SIMPLE 2..5
      {"x{2,5}?", "", "9C 0C1600 7F 1D0400 7F 0A0E00 0200 0500 7F 0E0000 01 78 00 000000"},
      // two top-level alternatives, group 1 in the first
      {"(a)|b", "",
       "9C 0C1A00 7F 1B0600 0100 7F 0C0A00 7F 0E0600 01 61 00 1C1000 0100 7F 0C0A00 7F 0E0600 "
       "01 62 00 000000"},
      // negated class with one single
      {"[^a]", "", "9C 0C0C00 7F 090800 83 800061 82 000000"},
      // an empty alternative has EMPTY as its body
      {"a|", "", "9C 0C0A00 7F 0E0E00 01 61 00 0C0800 7F 0F0400 7F 000000"},
      // lookahead: body ends in LOOKAHEAD_END, its link leads to an EMPTY
      {"(?=a)b", "",
       "9C 0C2000 7F 1F1200 7F 0C0A00 7F 0E0600 01 61 00 210000 7F 0F0400 7F 0E0600 01 62 00 "
       "000000"},
      // «[A-C]» under "i" holds A-C and a-c
      {"[A-C]", "i", "9C 0C1400 7F 091000 00 81 0041 0043 81 0061 0063 82 7F 000000"},
      // «[\W]»: non-word single bytes and every double-byte character
      {"[\\W]", "",
       "9C 0C2600 7F 092200 00 81 0000 002F 81 003A 0040 81 005B 005E 80 0060 81 007B 00FF "
       "81 0100 FFFF 82 7F 000000"},
      // Shift-JIS mode: «ab漢*» repeats the whole double-byte run
      {"ab\x82\xA0*", "k",
       "9C 0C2400 7F 0E0800 02 6162 00 7F 0B1400 0000 FF7F 7F 0E0800 02 82A0 00 7F 220000 7F "
       "0F0400 7F 000000"},
      // «[A](?i)»: the emitting pass has "i" from the start, so the class
      // gets its twin; sized again, it fits.
      {"[A](?i)", "", "9C 0C1600 7F 090C00 00 800041 800061 82 7F 0E0600 00 00 7F 000000"},
  };
  for (const ProgramCase& c : cases) {
    SCOPED_TRACE(c.pattern);
    auto compiled = Compile(c.pattern, c.letters);
    ASSERT_NE(compiled.record, nullptr) << compiled.message;
    EXPECT_EQ(compiled.record->program, Bytes(c.hex)) << Dump(compiled.record->program);
  }
}

// Every node starts at an odd offset; a literal run holds at most 126
// single-byte characters (127 bytes with a double-byte character).
TEST(CompilerTest, NodeOffsetsAndRunLimits) {
  auto c = Compile("a(b|cd)*[x-z]+?e{2}\\w\\1");
  ASSERT_NE(c.record, nullptr) << c.message;
  const auto& program = c.record->program;
  const std::string dump = Dump(program);
  std::size_t nodes = 0;
  for (std::size_t at = 1; at < program.size(); ++at) {
    if (dump.find(std::to_string(at) + ": ") != std::string::npos) {
      EXPECT_EQ(at % 2, 1u) << dump;
      ++nodes;
    }
  }
  EXPECT_GT(nodes, 10u);

  const std::string run126(126, 'a');
  auto one = Compile(run126);
  EXPECT_EQ(one.record->program[8], 126);
  auto two = Compile(run126 + "b");
  EXPECT_EQ(two.record->program[8], 126);
  EXPECT_NE(Dump(two.record->program).find("\"b\""), std::string::npos);
  // 125 bytes then a double-byte character: 127 bytes in one run.
  auto dbcs = Compile(std::string(125, 'a') + "\x82\xA0", "k");
  EXPECT_EQ(dbcs.record->program[8], 127);
}

struct MessageCase {
  std::string pattern;
  const char* message;
};

// The compiler's messages for patterns no command line can hold (the rest
// are in commands.cases).
TEST(CompilerTest, Messages) {
  const std::vector<MessageCase> cases = {
      {std::string(40000, 'a'), "too big compile"},
      {std::string(1200, '(') + "a" + std::string(1200, ')'), "regexp nested too deeply"},
      // A trailing backslash cannot end a part of a command, only a pattern.
      {"a\\", "trailing \\ in regexp"},
      {"\\", "trailing \\ in regexp"},
  };
  for (const MessageCase& c : cases) {
    SCOPED_TRACE(c.pattern.substr(0, 40));
    auto compiled = Compile(c.pattern);
    EXPECT_EQ(compiled.record, nullptr);
    EXPECT_EQ(compiled.message, c.message);
    EXPECT_LT(compiled.message.size(), 40u);
  }
  char message[kMessageBufferSize] = "x";
  std::uint32_t flags = 0x20;
  EXPECT_EQ(CompilePattern(nullptr, nullptr, flags, message), nullptr);
  EXPECT_STREQ(message, "NULL argument");
  EXPECT_EQ(flags, 0x20u);  // unchanged on failure
}

// Inline modifiers: in force for the whole pattern, handed back in the flags
// word but not stored in the record's flags.
TEST(CompilerTest, InlineModifiers) {
  auto c = Compile("abc(?i)");
  ASSERT_NE(c.record, nullptr);
  EXPECT_EQ(c.record->flags & kFlagIgnoreCase, 0u);
  EXPECT_NE(c.flags_out & kFlagIgnoreCase, 0u);
  EXPECT_EQ(c.record->foldCase, 1);
  auto m = Compile("(?m)^a");
  EXPECT_EQ(m.record->flags & kFlagMultiLine, 0u);
  EXPECT_EQ(m.record->multiLine, 1);
}

// Deep nesting within the program's size compiles and runs; deeper nesting
// ends with a message instead of exhausting the stack.
TEST(CompilerTest, DeepNesting) {
  const std::string pattern = std::string(900, '(') + "a" + std::string(900, ')');
  auto c = Compile(pattern);
  ASSERT_NE(c.record, nullptr) << c.message;
  EXPECT_EQ(c.record->groupCount, 900);
  auto m = testing::Match(*c.record, std::string("xa"));
  ASSERT_EQ(m.result, 1);
  EXPECT_EQ(m.groups[900], std::make_pair(1L, 2L));
  const std::string lookaheads = std::string(3000, '(') + "?=a" + std::string(3000, ')');
  EXPECT_EQ(Compile(lookaheads).record, nullptr);
}

}  // namespace
}  // namespace ostrevin::regex
