// Where the window keeps its settings file and finds its read-me document:
// beside the executable and named after it, with a per-user fallback folder for
// the settings and the installation's documentation folder for the read-me.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrevin::app {

// The executable's path with the extension of its file name (from the last "."
// of the name) replaced by `extension`; appended when the name has none. Dots
// in folder names and a name's leading dot are not extensions.
//   /opt/tools/conv.bin, ".ini" -> /opt/tools/conv.ini
//   /usr/bin/ostrevin, ".htm"   -> /usr/bin/ostrevin.htm
[[nodiscard]] std::string SiblingPath(std::string_view executable, std::string_view extension);

// The executable's file name without its extension: the caption of the
// file-error and read-me message boxes.
[[nodiscard]] std::string ApplicationName(std::string_view executable);

// Where Help looks for the read-me document, in this order: beside the
// executable, as a build tree or an unpacked copy has it, then in the
// documentation folder of the installation the executable's folder belongs to
// (`cmake --install` and the Debian package put it there).
//   /usr/bin/ostrevin -> /usr/bin/ostrevin.htm, /usr/share/doc/ostrevin/ostrevin.htm
[[nodiscard]] std::vector<std::string> ReadMePaths(std::string_view executable);

// Answers whether the process may write to a path (a file or a folder).
using WritableProbe = std::function<bool(const std::string& path)>;
// Answers whether a path exists.
using ExistsProbe = std::function<bool(const std::string& path)>;

struct SettingsEnvironment {
  std::string executable;       // the executable's real path
  std::string xdg_config_home;  // $XDG_CONFIG_HOME, may be empty
  std::string home;             // $HOME, may be empty
};

// The settings file: beside the executable ("<name>.ini") when that file exists
// and is writable, or when the executable's folder is writable, unless the
// program is installed (its manual lies where ReadMePaths looks second);
// otherwise the same file name in $XDG_CONFIG_HOME/ostrevin/ (an absolute value
// only), else in ~/.config/ostrevin/. Without a usable home the file beside the
// executable is kept anyway.
[[nodiscard]] std::string ChooseSettingsPath(const SettingsEnvironment& environment,
                                             const ExistsProbe& exists,
                                             const WritableProbe& writable);

// The same choice against the real file system and environment.
[[nodiscard]] std::string ChooseSettingsPath(const std::string& executable);

// The running executable's real path (symbolic links resolved), as the file
// system's bytes; `fallback` when the system cannot tell.
[[nodiscard]] std::string ExecutablePath(const std::string& fallback);

// Creates the folder that is to hold `file` with its parents (mode 0700 for the
// ones it makes). True when the folder exists afterwards.
[[nodiscard]] bool EnsureParentFolder(const std::string& file);

}  // namespace ostrevin::app
