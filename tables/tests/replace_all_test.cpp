// ReplaceAll against a slow reference walk on random texts, a table's chain
// of entries against ReplaceAll, and former faults (the rows per case are in
// table_cases.txt).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/shift_jis.h"
#include "core/testing/hex.h"
#include "tables/conversion_table.h"
#include "tables/replacement_chain.h"

namespace ostrevin {
namespace {

using testing::Hex;

// The walk of the definition, one position at a time: the oracle.
std::size_t ReferenceReplaceAll(std::string& text, const std::string& search,
                                const std::string& replacement) {
  if (search.empty()) return 0;
  std::string out;
  std::size_t count = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (i + search.size() <= text.size() && text.compare(i, search.size(), search) == 0) {
      out += replacement;
      i += search.size();
      ++count;
      continue;
    }
    const std::size_t len = sjis::CharLength(text.data(), i, text.size());
    out.append(text, i, len);
    i += len;
  }
  if (count > 0) text = out;
  return count;
}

// Random Shift-JIS-like bytes from few distinct values, so that trail-byte
// lookalikes, overlaps and lead bytes before LF are common.
class RandomBytes {
 public:
  std::string Pick(std::size_t length) {
    std::string s;
    for (std::size_t i = 0; i < length; ++i) s += Byte();
    return s;
  }
  // Now and then a byte at an edge of the lead-byte ranges (0x81-0x9F,
  // 0xE0-0xFC) or just outside them.
  char Byte() {
    if (random_() % 4 == 0) return kEdges[random_() % sizeof kEdges];
    return kAlphabet[random_() % sizeof kAlphabet];
  }
  std::size_t Below(std::size_t n) { return random_() % n; }
  // A long periodic text and a search string that almost fits everywhere,
  // placed whole in the second half: the byte search falls back to its
  // worst-case-linear method part way through and must still find those.
  void Periodic(std::string& text, std::string& search) {
    const std::string unit = Pick(1 + Below(3));
    while (text.size() < 600) text += unit;
    search = text.substr(Below(8), 3 + Below(4));
    search[1 + Below(search.size() - 2)] = Byte();
    for (int k = 0; k < 3; ++k) text.insert(300 + Below(300), search);
  }

 private:
  static constexpr char kAlphabet[] = {'\\', 'A', '\x95', '\x82', '\xA0', 'a', '\n'};
  static constexpr char kEdges[] = {'\x80', '\x81', '\x9F', '\xE0', '\xFC', '\xFD'};
  std::mt19937 random_{12345};
};

TEST(ReplaceAllOracle, AgreesWithTheReferenceWalkOnRandomShiftJis) {
  RandomBytes random;
  // Short texts, texts longer than the byte search's blocks, and periodic
  // ones.
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    std::string search;
    if (round % 4 == 3) {
      random.Periodic(text, search);
    } else {
      text = random.Pick(random.Below(round % 4 == 2 ? 120 : 24));
      search = random.Pick(1 + random.Below(4));
    }
    const std::string replacement = random.Pick(random.Below(6));
    std::string expected = text;
    const std::size_t expected_count = ReferenceReplaceAll(expected, search, replacement);
    std::string actual = text;
    ASSERT_EQ(ReplaceAll(actual, search, replacement), expected_count)
        << "text " << Hex(text) << " search " << Hex(search);
    ASSERT_EQ(Hex(actual), Hex(expected))
        << "text " << Hex(text) << " search " << Hex(search) << " replacement " << Hex(replacement);
  }
}

// A table's entries as a chain over blocks of every size from 1 to 64 bytes
// against ReplaceAll entry by entry over the whole text. Replacements from
// the same bytes make and break later entries' occurrences; a later search
// string is often an earlier replacement.
TEST(ReplacementChainOracle, AgreesWithReplaceAllEntryByEntry) {
  RandomBytes random;
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    ConversionTable table;
    if (round % 8 == 7) {
      std::string search;
      random.Periodic(text, search);
      table.Add(search, random.Pick(random.Below(6)));
    } else {
      text = random.Pick(random.Below(round % 2 == 0 ? 40 : 300));
    }
    const std::size_t entries = 1 + random.Below(5);
    for (std::size_t i = 0; i < entries; ++i) {
      const bool reuse = table.size() > 0 && random.Below(3) == 0;
      const std::string search =
          reuse ? std::string(table.Replacement(table.size() - 1)) : random.Pick(random.Below(5));
      table.Add(search, random.Pick(random.Below(6)));
    }
    std::string expected = text;
    bool expected_changed = false;
    for (std::size_t i = 0; i < table.size(); ++i) {
      if (ReplaceAll(expected, table.Search(i), table.Replacement(i)) > 0) expected_changed = true;
    }
    // Periodic texts also in blocks large enough for the byte search to give
    // up inside one.
    const auto r = static_cast<std::size_t>(round);
    const std::size_t block = round % 16 == 15 ? 150 + r % 300 : 1 + r % 64;
    ReplacementChain chain(table, block);
    for (int again = 0; again < 2; ++again) {  // the kept buffers do not show
      std::string actual;
      const bool changed = chain.Run(text, [&](std::string_view piece) {
        EXPECT_FALSE(piece.empty());
        actual.append(piece);
      });
      ASSERT_EQ(Hex(actual), Hex(expected)) << "text " << Hex(text) << " block " << block;
      ASSERT_EQ(changed, expected_changed) << "text " << Hex(text);
    }
  }
}

// A search string longer than a block; and more entries than the room kept
// in front of a block holds the carries of: entries that never match ('z'
// is not in the text) pile their carries up there, between a few that do.
TEST(ReplacementChainOracle, LongSearchStringsAndManyEntries) {
  RandomBytes random;
  const std::string text = random.Pick(5000);
  ConversionTable long_search;
  long_search.Add(text.substr(2000, 1500), "<long>");
  long_search.Add(random.Pick(2), random.Pick(3));
  ConversionTable many;
  for (int i = 0; i < 1500; ++i) {
    many.Add((i % 300 == 0 ? "" : "z") + random.Pick(3 + random.Below(3)), random.Pick(3));
  }
  for (const ConversionTable* table : {&long_search, &many}) {
    std::string expected = text;
    for (std::size_t i = 0; i < table->size(); ++i) {
      (void)ReplaceAll(expected, table->Search(i), table->Replacement(i));
    }
    for (const std::size_t block : {std::size_t{64}, std::size_t{4096}}) {
      std::string actual;
      ReplacementChain chain(*table, block);
      (void)chain.Run(text, [&](std::string_view piece) { actual.append(piece); });
      ASSERT_EQ(Hex(actual), Hex(expected)) << table->size() << " entries, block " << block;
    }
  }
}

// Former faults that a naive implementation gets wrong.
TEST(ReplaceAllFormerFaults, LongTextWithManyShortMatchesKeepsItsTail) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "\x95\x5C\\";  // 表 then a backslash
  text += "end";
  EXPECT_EQ(ReplaceAll(text, "\\", "\\\\"), 100000u);
  ASSERT_EQ(text.size(), 100000u * 4 + 3);
  EXPECT_EQ(text.substr(0, 4), "\x95\x5C\\\\");
  EXPECT_EQ(text.substr(text.size() - 3), "end");
}

TEST(ReplaceAllFormerFaults, NothingFoundLeavesTheBufferUntouched) {
  std::string text = "abcdef";
  text.reserve(100);
  const char* before = text.data();
  EXPECT_EQ(ReplaceAll(text, "zz", "longer replacement"), 0u);
  EXPECT_EQ(text.data(), before);
  EXPECT_EQ(text, "abcdef");
}

}  // namespace
}  // namespace ostrevin
