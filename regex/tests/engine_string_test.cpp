// Engine strings: growth, skip tables, the two literal searches and the
// Shift-JIS position test.
#include "regex/engine_string.h"

#include <gtest/gtest.h>

#include <string>

#include "core/byte_search.h"
#include "regex/engine_error.h"

namespace ostrevin::regex {
namespace {

// Growth: room for the larger of n + 1 and 512, plus 512 bytes each time.
TEST(EngineStringTest, Growth) {
  auto s = EngineStringNew("abc", 3);
  EXPECT_EQ(s->length(), 3);
  EXPECT_EQ(s->capacity(), 1024);
  const std::string more(600, 'x');
  EXPECT_EQ(EngineStringAppend(*s, more.data(), 600), 603);
  EXPECT_EQ(s->capacity(), 1024);
  auto t = EngineStringNew("abc", 3);
  const std::string big(1100, 'y');
  EngineStringAppend(*t, big.data(), 1100);
  EXPECT_EQ(t->capacity(), 1616);
  EXPECT_EQ(t->data()[t->length()], '\0');
  EXPECT_EQ(EngineStringNew(big.data(), 512)->capacity(), 1025);  // n + 1 above 512
  auto z = EngineStringNew("ab\0c", 0);                           // n == 0: up to the first 0x00
  EXPECT_EQ(z->length(), 2);
  EngineStringAssign(*z, "a\0b", 3);  // the bytes may hold 0x00
  EXPECT_EQ(std::string(z->data(), 3), std::string("a\0b", 3));
}

TEST(EngineStringTest, CopyTakesBytesLengthAndFlags) {
  auto source = EngineStringNew("hello", 5);
  BuildSkipTable(*source, false);
  auto target = EngineStringNew("x", 1);
  EngineStringCopy(*target, *source);
  EXPECT_EQ(std::string(target->data(), 5), "hello");
  EXPECT_EQ(target->flags, source->flags);
  EXPECT_EQ(target->skip_table()['o'], 0);
  EXPECT_EQ(target->skip_table()['h'], 4);
  EngineStringCopy(*target, *target);  // same record: nothing happens
  EXPECT_EQ(target->length(), 5);
}

TEST(EngineStringTest, SkipTable) {
  auto s = EngineStringNew("abcab", 5);
  BuildSkipTable(*s, false);
  const auto* table = s->skip_table();
  EXPECT_EQ(table['a'], 1);
  EXPECT_EQ(table['b'], 0);
  EXPECT_EQ(table['c'], 2);
  EXPECT_EQ(table['z'], 5);
  EXPECT_EQ(table['A'], 5);
  EXPECT_EQ(s->flags & 0xFF, EngineString::kSearchKind);
  EXPECT_NE(s->flags & EngineString::kSkipTableValid, 0u);
  EXPECT_EQ(s->flags & EngineString::kSkipTableFolded, 0u);

  auto f = EngineStringNew("abcab", 5);
  BuildSkipTable(*f, true);
  EXPECT_EQ(f->skip_table()['A'], 1);
  EXPECT_EQ(f->skip_table()['B'], 0);
  EXPECT_EQ(f->skip_table()['C'], 2);
  EXPECT_NE(f->flags & EngineString::kSkipTableFolded, 0u);

  const std::string long_literal(256, 'q');
  auto l = EngineStringNew(long_literal.data(), 256);
  BuildSkipTable(*l, false);
  EXPECT_EQ(l->flags & EngineString::kSkipTableValid, 0u);
  const std::string text = "xx" + long_literal;
  EXPECT_EQ(FindLiteral(text.data(), text.data() + text.size(), *l, false, false), text.data() + 2);
}

TEST(EngineStringTest, ShiftJisPositionType) {
  const std::string so = "\x83\x5C\x5C";  // ソ then a backslash
  const char* t = so.data();
  EXPECT_EQ(ShiftJisPositionType(t, t), 1);
  EXPECT_EQ(ShiftJisPositionType(t, t + 1), 2);
  EXPECT_EQ(ShiftJisPositionType(t, t + 2), 0);
  EXPECT_EQ(ShiftJisPositionType(nullptr, t), 0);
  const std::string leads =
      "\x81\x81\x81"
      "a";  // lead, trail(0x81), lead, trail("a")
  EXPECT_EQ(ShiftJisPositionType(leads.data(), leads.data() + 2), 1);
  EXPECT_EQ(ShiftJisPositionType(leads.data(), leads.data() + 3), 2);
}

struct FindCase {
  std::string text;
  std::string literal;
  bool shift_jis;
  long expected;  // -1: none
};

TEST(EngineStringTest, FindBytes) {
  const std::vector<FindCase> cases = {
      {"abc", "", false, 0},
      {"ab", "abc", false, -1},
      {"xxabcabc", "abc", false, 2},
      {"\x83\x5C\x5C", "\\", true, 2},   // the first 0x5C is the trail byte of ソ
      {"\x83\x5C\x5C", "\\", false, 1},  // byte mode finds it
      {"\x82\xA0\xA0", "\xA0", true, 2},
  };
  for (const FindCase& c : cases) {
    const char* hit = FindBytes(c.text.data(), c.text.data() + c.text.size(), c.literal.data(),
                                c.literal.data() + c.literal.size(), c.shift_jis);
    EXPECT_EQ(hit == nullptr ? -1 : hit - c.text.data(), c.expected) << c.text;
  }
}

// Asked again and again from starts that never decrease, each asked twice
// (a run asks again from the occurrence it was given when the match there
// failed), a search finds what a plain search finds: on its fast path, and
// after near misses made it go on with Knuth-Morris-Pratt.
TEST(EngineStringTest, ByteSearchFromStartsThatNeverDecrease) {
  const std::pair<std::string, std::string> cases[] = {
      {"xxabcabcabxabc", "abc"},
      {std::string(300, '\xde') + "llo", std::string(10, '\xde')},
      {std::string(600, 'a') + "aaaaXa" + std::string(40, 'a') + "aaaaXaaaaaXa", "aaaaXa"},
  };
  for (const auto& [text, needle] : cases) {
    ByteSearch search(text, needle);
    for (std::size_t from = 0; from <= text.size(); ++from) {
      const std::size_t expected = text.find(needle, from);
      for (int again = 0; again < 2; ++again) {
        const std::size_t found = search.Find(from);
        ASSERT_EQ(found == ByteSearch::kNone ? std::string::npos : found, expected)
            << needle.size() << "-byte needle from " << from;
      }
    }
  }
}

TEST(EngineStringTest, FindLiteralTailAnchored) {
  auto end = EngineStringNew("end", 3);
  BuildSkipTable(*end, false);
  end->flags |= EngineString::kTailAnchored;
  auto find = [&](const std::string& text, bool m) {
    const char* hit = FindLiteral(text.data(), text.data() + text.size(), *end, m, false);
    return hit == nullptr ? -1L : hit - text.data();
  };
  EXPECT_EQ(find("the end\n", false), 4);
  EXPECT_EQ(find("the end", false), 4);
  EXPECT_EQ(find("the end.", false), -1);
  EXPECT_EQ(find("end of the end.", false), -1);
  EXPECT_EQ(find("end of the end.", true), 0);
}

TEST(EngineStringTest, FindLiteralFoldedAndTrailBytes) {
  auto lit = EngineStringNew("abc", 3);
  BuildSkipTable(*lit, true);
  const std::string text = "xxABcabc";
  EXPECT_EQ(FindLiteral(text.data(), text.data() + text.size(), *lit, false, false),
            text.data() + 2);
  // "bc" right after 0x81 is a trail-byte position: refused in Shift-JIS
  // mode by both searches, found in byte mode, where every byte counts.
  auto table = EngineStringNew("bc", 2);
  BuildSkipTable(*table, false);
  auto plain = EngineStringNew("bc", 2);
  const std::string sjis =
      "\x81"
      "bc"
      "bc";
  for (const EngineString* literal : {table.get(), plain.get()}) {
    for (const bool shift_jis : {false, true}) {
      const char* hit =
          FindLiteral(sjis.data(), sjis.data() + sjis.size(), *literal, false, shift_jis);
      EXPECT_EQ(hit - sjis.data(), shift_jis ? 3 : 1)
          << (literal == table.get() ? "skip table" : "plain") << ", shift_jis " << shift_jis;
    }
  }
}

// The position cache answers exactly as ShiftJisPositionType, in any order of
// positions, also inside long runs of lead-range bytes.
TEST(EngineStringTest, PositionCacheAgreesWithPositionType) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += (i % 37 < 20) ? '\x81' : (i % 5 == 0 ? 'a' : '\x88');
  text +=
      "\x82\xA0"
      "b";
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < text.size(); ++i) order.push_back(i);
  for (std::size_t i = text.size(); i-- > 0;) order.push_back(i);
  for (std::size_t i = 0; i < text.size(); i += 7) order.push_back((i * 131) % text.size());
  ShiftJisPositions positions(text.data());
  for (const std::size_t i : order) {
    ASSERT_EQ(positions.TypeAt(text.data() + i), ShiftJisPositionType(text.data(), text.data() + i))
        << "at " << i;
  }
}

// A must literal inside a long run of lead bytes is found without rescanning
// the run for every candidate (this would take minutes if it did).
TEST(EngineStringTest, SkipSearchInLongLeadRun) {
  std::string text(4 << 20, '\x81');
  text += "zq";
  auto literal = EngineStringNew("\x81\x81zq", 4);
  BuildSkipTable(*literal, false);
  const char* hit = FindLiteral(text.data(), text.data() + text.size(), *literal, false, true);
  // The literal starts 2 bytes before "zq"; an even number of lead bytes
  // precedes it, so it starts on a character boundary.
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit - text.data(), static_cast<long>(text.size()) - 4);
}

}  // namespace
}  // namespace ostrevin::regex
