// Loading and saving ConversionOptions: the nine keys of section "Folder".
#pragma once

#include <string>
#include <string_view>

#include "settings/conversion_options.h"
#include "settings/profile_store.h"

namespace ostrevin {

// The options of a missing settings file: Destination the current directory
// at the moment of the call, everything else off, empty or 0.
[[nodiscard]] ConversionOptions DefaultOptions();

// Reads the nine keys of section "Folder" in their order (Destination,
// OverWrite, KanjiConvert, DeleteHTMLTag, KanjiCode, UseTable, TablePath,
// RegExp, NoOutput). Absent keys take their defaults: Destination the current
// directory at the moment of the call, TablePath empty, every flag off, both
// integers 0. A flag is on only when its integer is exactly 1; KanjiCode and
// RegExp are taken as stored.
[[nodiscard]] ConversionOptions LoadOptions(const ProfileStore& store);

// Writes the nine keys into section "Folder" in the same order: the texts as
// they are, flags as 1 or 0, the integers in decimal. Returns false, writing
// nothing, when a text cannot be stored (it holds CR, LF or NUL).
[[nodiscard]] bool SaveOptions(ProfileStore& store, const ConversionOptions& options);

// The settings file beside the executable: the executable's path with the
// extension of its file name (from the last "." of the name on) replaced by
// ".ini", or ".ini" appended when the name has none.
[[nodiscard]] std::string SettingsPathBeside(std::string_view executable_path);

// LoadOptions / SaveOptions on the file at `path` (the settings file beside
// the executable). Loading a missing or unreadable file gives the defaults.
// Saving returns 0 or an errno (EINVAL when a text cannot be stored).
[[nodiscard]] ConversionOptions LoadOptionsFile(const std::string& path);
[[nodiscard]] int SaveOptionsFile(const std::string& path, const ConversionOptions& options);

// The limit on Destination and TablePath (kMaxPathBytes bytes), shared by both
// front ends: whether `value` fits, and the message shown when it does not,
// "4095 文字以内で入力してください。".
[[nodiscard]] inline bool FitsPathLimit(std::string_view value) {
  return value.size() <= static_cast<std::size_t>(kMaxPathBytes);
}
[[nodiscard]] std::string PathLimitMessage();

}  // namespace ostrevin
