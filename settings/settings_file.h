// User settings files: the options (section "Folder") together with the file
// list (section "Files": Count and file0, file1, ...).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/conversion_options.h"

namespace ostrevin {

struct SettingsFileContents {
  // 0 when the file was read; otherwise why it is refused: the errno of its
  // open or read (EISDIR, EINVAL for what is not a regular file), or EINVAL
  // for a file without a "[Folder]" or "[Files]" header, which cannot be a
  // settings file. Options and list are then the defaults and empty.
  int error_number = 0;
  ConversionOptions options;
  std::vector<std::string> files;
};

// "設定ファイル %1 を読み込めません。(Error:%lu)": %1 the path, %lu error_number.
inline constexpr std::string_view kSettingsUnreadable =
    "設定ファイル %1 を読み込めません。(Error:%lu)";

// Reads options (with the defaults of LoadOptions) and the file list. Count
// (default 0) gives the number of entries; a Count that is negative or not a
// number gives none, and one larger than the number of lines of the file is
// taken as that number of lines. A missing "file<i>" key is an empty entry.
// A file that was named on purpose is read or refused (error_number), never
// silently taken as the defaults.
[[nodiscard]] SettingsFileContents LoadSettingsFile(const std::string& path);

// kSettingsUnreadable for `path` (as the caller shows it) and `error_number`.
[[nodiscard]] std::string SettingsUnreadableMessage(std::string_view path, int error_number);

// Writes the options, then replaces section "Files" (deleted first, so no
// stale keys stay) with Count and one "file<i>" key per entry in list order;
// other sections and keys are kept. Returns 0 or an errno; EINVAL when some
// text cannot be stored (a path holding CR, LF or NUL), in which case the file
// is not touched.
[[nodiscard]] int SaveSettingsFile(const std::string& path, const ConversionOptions& options,
                                   const std::vector<std::string>& files);

}  // namespace ostrevin
