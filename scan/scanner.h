// The Shift-JIS platform-dependent character scan: per-file scanning and the
// report over a list of files, free of any toolkit.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/host.h"

namespace ostrevin {

// Which characters are reported; all on by default, as the dialog starts.
struct ScanFlags {
  bool half_width_kana = true;  // single-byte 0xA1-0xDF
  bool special = true;          // double-byte 0x8540-0x889E
  bool extended = true;         // double-byte 0xEB40-0xEFFC
  bool user_defined = true;     // double-byte 0xF040 and above
};

// What one file gave: whether it could be read, and the characters found, as
// their own bytes, in the order in which they occur (repeats included).
struct ScanFileResult {
  bool read = false;
  std::string found;
};

// How the found characters appear in a report.
enum class ScanRendering {
  kRaw,   // their Shift-JIS bytes
  kUtf8,  // decoded from code page 932; unmappable ones as <8540>
};

// Incremental scanner over the bytes of one file, fed in pieces of any size.
// Bytes are classified as the scan needs them:
//  - after a lead byte, a byte in 0x40-0x7E or 0x80-0xFC is its trail byte,
//    anything else is invalid; either way it belongs to the lead byte and is
//    not examined again;
//  - otherwise 0x81-0x9F and 0xE0-0xFC are lead bytes, 0x20-0x7E and 0xA1-0xDF
//    single-byte characters, and every other byte (controls, 0x7F, 0x80,
//    0xA0, 0xFD-0xFF) is invalid and reported never.
class ShiftJisScanner {
 public:
  explicit ShiftJisScanner(const ScanFlags& flags) : flags_(flags) {}
  // Scans `bytes` and appends what is to be reported to `found`.
  void Feed(std::string_view bytes, std::string& found);

 private:
  ScanFlags flags_;
  unsigned char lead_ = 0;  // the pending lead byte, 0 when none
};

// Scans the file at `path` (file system bytes) with the rules of text mode:
// the input ends at the first 0x1A byte (CR LF taken as LF changes nothing
// that is reported). A path that is not a regular file, or that cannot be
// opened or read, gives `read` false.
[[nodiscard]] ScanFileResult ScanFile(const std::string& path, const ScanFlags& flags);

// ScanFile over the open descriptor `fd` (standard input), read up to its end
// or its first 0x1A byte. A read failure gives `read` false.
[[nodiscard]] ScanFileResult ScanStream(int fd, const ScanFlags& flags);

// The report block of one file, with CR LF line ends:
//   "[path]\r\n<found>\r\n\r\n" when something was found,
//   "[path]\r\nファイルをオープンできません\r\n\r\n" when it could not be read,
//   and the empty string otherwise. The path is written as its bytes.
[[nodiscard]] std::string FormatScanBlock(const std::string& path, const ScanFileResult& result,
                                          ScanRendering rendering);

// The end line of every report.
inline constexpr std::string_view kScanEndLine = "*** スキャン終了 ***\r\n";

struct ScanReport {
  std::string text;      // every file's block in list order, then the end line
  bool all_read = true;  // false when some file could not be read
};

// Scans every path in list order and builds the report. An empty list shows
// "スキャン対象ファイルがリストにありません" (caption "エラー", exclamation) and
// returns nothing. Otherwise the busy cursor is on during the scan, and the
// host beeps before the end line is added.
[[nodiscard]] std::optional<ScanReport> RunScan(const std::vector<std::string>& paths,
                                                const ScanFlags& flags, ScanRendering rendering,
                                                Host& host);

}  // namespace ostrevin
