// The compiled program's tables and readers: families, operand lengths, link
// arithmetic, class membership and the lead-byte test.
#include "regex/program.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/shift_jis.h"

namespace ostrevin::regex {
namespace {

// Only the low 8 bits of any integer count (0x181 and -127 have 0x81).
TEST(ProgramTest, LeadByteTable) {
  for (int b : {0x81, 0x9F, 0xE0, 0xFC, 0x181, -127})
    EXPECT_TRUE(sjis::IsLeadByte(static_cast<std::uint8_t>(b))) << b;
  for (int b : {0x80, 0xA0, 0xDF, 0xFD, 0x00, 0x7F})
    EXPECT_FALSE(sjis::IsLeadByte(static_cast<std::uint8_t>(b))) << b;
}

TEST(ProgramTest, FamiliesAndOperands) {
  using enum NodeKind;
  struct Row {
    NodeKind kind;
    int family;
    int operand;
  };
  const std::vector<Row> rows = {
      {PROGRAM_END, 0, 0},
      {MULTILINE_START, 1, 0},
      {TEXT_END, 4, 0},
      {ANY_CHAR, 7, 0},
      {REPEAT_SIMPLE, 10, 4},
      {REPEAT_COMPLEX, 10, 4},
      {BACK_REFERENCE, 26, 2},
      {GROUP_OPEN, 27, 2},
      {GROUP_CLOSE, 28, 2},
      {SEARCH_START, 1, 0},
      {NEGATIVE_LOOKAHEAD, 12, 0},
      {LOOKAHEAD_END, 0, 0},
      {REPEAT_COMPLEX_TAIL, 34, 0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FamilyOf(row.kind), row.family) << NodeKindName(static_cast<std::uint8_t>(row.kind));
    EXPECT_EQ(kOperandLength[static_cast<int>(row.kind)], row.operand);
  }
  EXPECT_EQ(kNodeFamily[35], 0);
}

TEST(ProgramTest, LinksAreSignedLittleEndian) {
  std::vector<std::uint8_t> bytes = {0x0C, 0x00, 0x00, 0x7F, 0x0E, 0x00, 0x00};
  EXPECT_EQ(NextNode(bytes.data()), nullptr);
  WriteU16(bytes.data() + 1, 4);
  EXPECT_EQ(bytes[1], 4);
  EXPECT_EQ(bytes[2], 0);
  EXPECT_EQ(NextNode(bytes.data()), bytes.data() + 4);
  WriteU16(bytes.data() + 5, static_cast<std::uint16_t>(-4));
  EXPECT_EQ(LinkOf(bytes.data() + 4), -4);
  EXPECT_EQ(GovernedNode(bytes.data()), bytes.data() + 4);
}

TEST(ProgramTest, ClassMembership) {
  // Negated class with one single "a", items high byte first.
  const std::vector<std::uint8_t> negated = {0x09,         0,    0,   CLASS_NEGATED,
                                             CLASS_SINGLE, 0x00, 'a', CLASS_END};
  EXPECT_FALSE(ClassContains('a', negated.data()));
  EXPECT_TRUE(ClassContains('b', negated.data()));
  EXPECT_TRUE(ClassContains(0x82A0, negated.data()));  // あ
  // Ranges, with a stray byte that is stepped over.
  const std::vector<std::uint8_t> ranges = {0x09,         0,    0,    0x00,     0x55,
                                            CLASS_RANGE,  0x82, 0xA0, 0x82,     0xF1,
                                            CLASS_SINGLE, 0x00, '-',  CLASS_END};
  EXPECT_TRUE(ClassContains(0x82A2, ranges.data()));
  EXPECT_TRUE(ClassContains('-', ranges.data()));
  EXPECT_FALSE(ClassContains(0x8340, ranges.data()));
  EXPECT_FALSE(ClassContains(0x55, ranges.data()));
}

}  // namespace
}  // namespace ostrevin::regex
