// Path names of the batch run: joining a folder and a file name, and the file
// name of a path. "/" is the only separator and there is no drive prefix.
#pragma once

#include <string>
#include <string_view>

namespace ostrevin {

// The folder, one "/" unless the folder's last byte already is "/", then the
// name. An empty folder stands for the current folder and gives the name alone.
[[nodiscard]] std::string JoinPath(std::string_view folder, std::string_view name);

// Everything after the last "/" of the path (the whole path when it holds
// none), extension included. No byte of a multi-byte UTF-8 character is "/",
// so a plain byte search is exact.
[[nodiscard]] std::string FileNameOf(std::string_view path);

}  // namespace ostrevin
