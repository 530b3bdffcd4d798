// Tests for the scan: the byte classes per category, pieces of any size,
// ScanFile's reading rules, and the report that RunScan builds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/testing/recording_host.h"
#include "core/testing/scratch_folder.h"
#include "scan/scanner.h"

namespace ostrevin {
namespace {

ScanFlags Only(bool kana, bool special, bool extended, bool user) {
  return ScanFlags{kana, special, extended, user};
}
const ScanFlags kAll;
const ScanFlags kNone = Only(false, false, false, false);
const std::string kEnd = "*** スキャン終了 ***\r\n";

// Each row is scanned whole and fed one byte at a time: both give `found`.
TEST(ShiftJisScanner, FindsWhatTheFlagsAskFor) {
  struct Row {
    const char* note;
    std::string bytes;
    ScanFlags flags;
    std::string found;
  };
  const std::vector<Row> rows = {
      // Half-width katakana 0xA1-0xDF.
      {"ｱ and ﾝ", "a\xB1 \xDD", kAll, "\xB1\xDD"},
      {"｡ and ﾟ", "\xA1\xDF", kAll, "\xA1\xDF"},
      {"A0 and FD-FF never", "\xA0\xFD\xFE\xFF", kAll, ""},
      {"kana off", "\xB1", Only(false, true, true, true), ""},
      {"83 B1 is one character", "\x83\xB1", kAll, ""},
      {"kana after あ", "\x82\xA0\xB1", kAll, "\xB1"},
      // Special characters 0x8540-0x889E.
      {"①", "x\x87\x40y", kAll, "\x87\x40"},
      {"special range ends", "\x85\x40\x88\x9E\x88\x9F\x85\x3F", kAll, "\x85\x40\x88\x9E"},
      {"repeats listed", "\x87\x40\x87\x40", kAll, "\x87\x40\x87\x40"},
      {"special off", "\x87\x40", Only(true, false, true, true), ""},
      {"亜 and 表 ordinary", "\x88\x9F\x95\x5C", kAll, ""},
      // Extended 0xEB40-0xEFFC and the user-defined area from 0xF040.
      {"extended range ends", "\xEB\x40\xEF\xFC\xEB\x3F", kAll, "\xEB\x40\xEF\xFC"},
      {"extended off", "\xED\x40", Only(true, true, false, true), ""},
      {"user first", "\xF0\x40", kAll, "\xF0\x40"},
      {"IBM FA40 counts as user", "\xFA\x40\xFC\x4B", kAll, "\xFA\x40\xFC\x4B"},
      {"user off", "\xFA\x40", Only(true, true, true, false), ""},
      {"EA row ordinary", "\xEA\xA4", kAll, ""},
      // A lead byte takes the next byte whether it is a trail byte or not.
      {"lead, LF, kana", "\x87\n\xB1", kAll, "\xB1"},
      {"lead swallows 7F", "\x87\x7F\xB1", kAll, "\xB1"},
      {"lead byte as trail", "\x87\x87\x40", kAll, "\x87\x87"},
      {"lead at end", "\xB1\x87", kAll, "\xB1"},
      {"all flags off", "\xB1\x87\x40\xED\x40\xF0\x40", kNone, ""},
      {"order kept", "\xF0\x40\xB1\x87\x40", kAll, "\xF0\x40\xB1\x87\x40"},
  };
  for (const Row& r : rows) {
    std::string whole;
    ShiftJisScanner(r.flags).Feed(r.bytes, whole);
    EXPECT_EQ(whole, r.found) << r.note;
    ShiftJisScanner pieces(r.flags);
    std::string found;
    for (const char b : r.bytes) pieces.Feed(std::string_view(&b, 1), found);
    EXPECT_EQ(found, r.found) << r.note << " (byte by byte)";
  }
}

// ScanFile's reading rules.
TEST(ScanFile, ReadingRules) {
  testing::ScratchFolder folder;
  const ScanFileResult marked = ScanFile(folder.Write("a.txt", "\xB1\x1A\xB2"), kAll);
  EXPECT_TRUE(marked.read);
  EXPECT_EQ(marked.found, "\xB1");  // stops at the end-of-file mark
  std::string big(64 * 1024 - 1, 'a');
  big += "\x87\x40";  // ① split between two reads
  EXPECT_EQ(ScanFile(folder.Write("big.txt", big), kAll).found, "\x87\x40");
}

// The report.
TEST(RunScan, ReportOfTheTwoFileExample) {
  testing::ScratchFolder folder;
  const std::string a = folder.Write("a.txt", "x\xB1y\x87\x40\r\n");  // ｱ ①
  const std::string b = (folder.path() / "b.txt").string();
  testing::RecordingHost host;
  const auto report = RunScan({a, b}, kAll, ScanRendering::kRaw, host);
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->text, "[" + a + "]\r\n\xB1\x87\x40\r\n\r\n[" + b +
                              "]\r\nファイルをオープンできません\r\n\r\n" + kEnd);
  EXPECT_FALSE(report->all_read);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"busy on", "beep", "busy off"}));
}

TEST(RunScan, EmptyListShowsTheMessageAndNoReport) {
  testing::RecordingHost host;
  EXPECT_FALSE(RunScan({}, kAll, ScanRendering::kRaw, host).has_value());
  EXPECT_EQ(host.calls,
            (std::vector<std::string>{
                "message[エラー/exclamation] スキャン対象ファイルがリストにありません"}));
}

}  // namespace
}  // namespace ostrevin
