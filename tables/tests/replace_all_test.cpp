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

// What ReplaceAll leaves, entry by entry over the whole text, and whether
// any entry replaced anything.
struct Replaced {
  std::string text;
  bool changed = false;
};

Replaced EntryByEntry(const ConversionTable& table, std::string text) {
  bool changed = false;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (ReplaceAll(text, table.Search(i), table.Replacement(i)) > 0) changed = true;
  }
  return {std::move(text), changed};
}

// Feeds `text` to `chain` in pieces of random sizes (none, one byte, a few,
// about a block, more than a block), each copied so that it dies after the
// call, then finishes it.
Replaced Fed(ReplacementChain& chain, std::string_view text, std::size_t block,
             RandomBytes& random) {
  Replaced out;
  const auto sink = [&](std::string_view piece) {
    EXPECT_FALSE(piece.empty());
    out.text.append(piece);
  };
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t sizes[] = {0, 1, 2 + random.Below(6), block - 1 + random.Below(3),
                                 2 * block + random.Below(block)};
    const std::size_t size = std::min(sizes[random.Below(5)], text.size() - at);
    std::string piece(text.substr(at, size));
    chain.Feed(piece, sink);
    piece.assign(piece.size(), '?');
    at += size;
    if (at == text.size() && random.Below(2) == 0) break;
  }
  out.changed = chain.Finish(sink);
  return out;
}

// A table's entries as a chain over blocks of every size from 1 to 64 bytes
// against ReplaceAll entry by entry over the whole text, the text fed in
// pieces, then a second text (empty at times) run whole through the same
// chain. Replacements from the same bytes make and break later entries'
// occurrences; a later search string is often an earlier replacement.
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
    // Periodic texts also in blocks large enough for the byte search to give
    // up inside one.
    const auto r = static_cast<std::size_t>(round);
    const std::size_t block = round % 16 == 15 ? 150 + r % 300 : 1 + r % 64;
    ReplacementChain chain(table, block);
    const Replaced expected = EntryByEntry(table, text);
    const Replaced fed = Fed(chain, text, block, random);
    ASSERT_EQ(Hex(fed.text), Hex(expected.text)) << "text " << Hex(text) << " block " << block;
    ASSERT_EQ(fed.changed, expected.changed) << "text " << Hex(text);

    const std::string next = round % 3 == 0 ? "" : random.Pick(random.Below(40));
    const Replaced next_expected = EntryByEntry(table, next);
    std::string actual;
    const bool changed = chain.Run(next, [&](std::string_view piece) { actual.append(piece); });
    ASSERT_EQ(Hex(actual), Hex(next_expected.text))
        << "after " << Hex(text) << " text " << Hex(next) << " block " << block;
    ASSERT_EQ(changed, next_expected.changed) << "after " << Hex(text) << " text " << Hex(next);
  }
}

// A search string longer than a block and than the pieces fed; and more
// entries than the room kept in front of a block holds the carries of:
// entries that never match ('z' is not in the text) pile their carries up
// there, between a few that do.
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
    const std::string expected = EntryByEntry(*table, text).text;
    for (const std::size_t block : {std::size_t{64}, std::size_t{4096}}) {
      ReplacementChain chain(*table, block);
      ASSERT_EQ(Hex(Fed(chain, text, block, random).text), Hex(expected))
          << table->size() << " entries, block " << block;
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
