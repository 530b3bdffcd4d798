// Tests for the scan: the byte classes per category, pieces of any size,
// ScanFile's reading rules, and the report that RunScan builds.
#include <sys/stat.h>

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

std::string Scan(std::string_view bytes, const ScanFlags& flags) {
  ShiftJisScanner scanner(flags);
  std::string found;
  scanner.Feed(bytes, found);
  return found;
}

struct ScanCase {
  const char* name;
  std::string bytes;
  ScanFlags flags;
  std::string found;
};

void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

class ScannerTable : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScannerTable, FindsWhatTheFlagsAskFor) {
  const ScanCase& c = GetParam();
  EXPECT_EQ(Scan(c.bytes, c.flags), c.found);
}

// The same data fed one byte at a time gives the same result.
TEST_P(ScannerTable, OneByteAtATimeGivesTheSame) {
  const ScanCase& c = GetParam();
  ShiftJisScanner scanner(c.flags);
  std::string found;
  for (char b : c.bytes) scanner.Feed(std::string_view(&b, 1), found);
  EXPECT_EQ(found, c.found);
}

// Half-width katakana.
INSTANTIATE_TEST_SUITE_P(
    HalfWidth, ScannerTable,
    ::testing::Values(ScanCase{"kana_a_and_n", "a\xB1 \xDD", kAll, "\xB1\xDD"},    // ｱ ﾝ
                      ScanCase{"kana_punctuation", "\xA1\xDF", kAll, "\xA1\xDF"},  // ｡ ﾟ
                      ScanCase{"a0_and_fd_ff_never", "\xA0\xFD\xFE\xFF", kAll, ""},
                      ScanCase{"kana_flag_off", "\xB1", Only(false, true, true, true), ""},
                      // ア = 83 41; 0x83 0xB1 is one double-byte character, not ｱ.
                      ScanCase{"trail_b1_not_kana", "\x83\xB1", kAll, ""},
                      ScanCase{"kana_after_double_byte", "\x82\xA0\xB1", kAll, "\xB1"}),  // あ ｱ
    [](const auto& info) { return std::string(info.param.name); });

// Special characters 0x8540-0x889E.
INSTANTIATE_TEST_SUITE_P(
    Special, ScannerTable,
    ::testing::Values(ScanCase{"circled_one", "x\x87\x40y", kAll, "\x87\x40"},  // ①
                      ScanCase{"range_ends", "\x85\x40\x88\x9E\x88\x9F\x85\x3F", kAll,
                               "\x85\x40\x88\x9E"},
                      ScanCase{"repeats_listed", "\x87\x40\x87\x40", kAll, "\x87\x40\x87\x40"},
                      ScanCase{"special_flag_off", "\x87\x40", Only(true, false, true, true), ""},
                      ScanCase{"ordinary_kanji", "\x88\x9F\x95\x5C", kAll, ""}),  // 亜 表
    [](const auto& info) { return std::string(info.param.name); });

// Extended characters 0xEB40-0xEFFC and the user-defined area from 0xF040.
INSTANTIATE_TEST_SUITE_P(
    ExtendedAndUser, ScannerTable,
    ::testing::Values(
        ScanCase{"extended_ends", "\xEB\x40\xEF\xFC\xEB\x3F", kAll, "\xEB\x40\xEF\xFC"},
        ScanCase{"nec_ibm_ed40", "\xED\x40", kAll, "\xED\x40"},  // 纊
        ScanCase{"extended_flag_off", "\xED\x40", Only(true, true, false, true), ""},
        ScanCase{"user_first", "\xF0\x40", kAll, "\xF0\x40"},
        ScanCase{"ibm_fa40_counts_as_user", "\xFA\x40\xFC\x4B", kAll, "\xFA\x40\xFC\x4B"},
        ScanCase{"user_flag_off", "\xFA\x40", Only(true, true, true, false), ""},
        ScanCase{"ea_row_is_ordinary", "\xEA\xA4", kAll, ""}),  // 熙
    [](const auto& info) { return std::string(info.param.name); });

// Malformed sequences and flag combinations.
INSTANTIATE_TEST_SUITE_P(
    Malformed, ScannerTable,
    ::testing::Values(
        // A lead byte with a non-trail byte: both skipped, then afresh.
        ScanCase{"lead_then_lf_then_kana", "\x87\n\xB1", kAll, "\xB1"},
        ScanCase{"lead_swallows_invalid_kana_lookalike", "\x87\x7F\xB1", kAll, "\xB1"},
        ScanCase{"lead_byte_as_trail", "\x87\x87\x40", kAll, "\x87\x87"},  // 87 87, then @
        ScanCase{"lead_at_end", "\xB1\x87", kAll, "\xB1"},
        ScanCase{"all_flags_off", "\xB1\x87\x40\xED\x40\xF0\x40", kNone, ""},
        ScanCase{"order_kept", "\xF0\x40\xB1\x87\x40", kAll, "\xF0\x40\xB1\x87\x40"}),
    [](const auto& info) { return std::string(info.param.name); });

// ScanFile's reading rules.
TEST(ScanFile, StopsAtTheEndOfFileMark) {
  testing::ScratchFolder folder;
  const std::string path = folder.Write("a.txt", "\xB1\x1A\xB2");
  const ScanFileResult result = ScanFile(path, kAll);
  EXPECT_TRUE(result.read);
  EXPECT_EQ(result.found, "\xB1");
}

TEST(ScanFile, ReadsAcrossItsBufferBoundary) {
  testing::ScratchFolder folder;
  std::string bytes(64 * 1024 - 1, 'a');
  bytes += "\x87\x40";  // ① split between two reads
  const ScanFileResult result = ScanFile(folder.Write("big.txt", bytes), kAll);
  EXPECT_EQ(result.found, "\x87\x40");
}

TEST(ScanFile, NonRegularFilesCannotBeOpened) {
  testing::ScratchFolder folder;
  const std::string fifo = (folder.path() / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ScanFile(fifo, kAll).read);
  EXPECT_FALSE(ScanFile(folder.path().string(), kAll).read);
  EXPECT_FALSE(ScanFile((folder.path() / "missing").string(), kAll).read);
  EXPECT_FALSE(ScanFile("", kAll).read);
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
                              "]\r\nファイルをオープンできません\r\n\r\n*** スキャン終了 ***\r\n");
  EXPECT_FALSE(report->all_read);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"busy on", "beep", "busy off"}));
}

TEST(RunScan, Utf8RenderingDecodesOnlyTheFoundCharacters) {
  testing::ScratchFolder folder;
  const std::string a = folder.Write("\xE6\x96\x87.txt", "\xB1\x85\x40");  // 文.txt: ｱ, 0x8540
  testing::RecordingHost host;
  const auto report = RunScan({a}, kAll, ScanRendering::kUtf8, host);
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->text, "[" + a + "]\r\n\xEF\xBD\xB1<8540>\r\n\r\n*** スキャン終了 ***\r\n");
  EXPECT_TRUE(report->all_read);
}

TEST(RunScan, FilesWithNothingFoundLeaveOnlyTheEndLine) {
  testing::ScratchFolder folder;
  const std::string a = folder.Write("a.txt", "plain text\n");
  const std::string b = folder.Write("b.txt", "\xB1\x87\x40");
  testing::RecordingHost host;
  const auto report = RunScan({a, b}, kNone, ScanRendering::kRaw, host);
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->text, "*** スキャン終了 ***\r\n");
  EXPECT_TRUE(report->all_read);
}

TEST(RunScan, AllFlagsClearedStillListsUnreadableFiles) {
  testing::ScratchFolder folder;
  testing::RecordingHost host;
  const std::string dir = folder.path().string();
  const auto report = RunScan({dir}, kNone, ScanRendering::kRaw, host);
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->text,
            "[" + dir + "]\r\nファイルをオープンできません\r\n\r\n*** スキャン終了 ***\r\n");
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
