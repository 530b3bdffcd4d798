// RunScan: the report over a list of files.
#include "scan/scanner.h"

namespace ostrevin {

std::optional<ScanReport> RunScan(const std::vector<std::string>& paths, const ScanFlags& flags,
                                  ScanRendering rendering, Host& host) {
  if (paths.empty()) {
    host.ShowMessage("スキャン対象ファイルがリストにありません", "エラー",
                     MessageIcon::kExclamation);
    return std::nullopt;
  }
  host.SetBusy(true);
  ScanReport report;
  for (const std::string& path : paths) {
    const ScanFileResult result = ScanFile(path, flags);
    if (!result.read) report.all_read = false;
    report.text += FormatScanBlock(path, result, rendering);
  }
  host.Beep();
  report.text += kScanEndLine;
  host.SetBusy(false);
  return report;
}

}  // namespace ostrevin
