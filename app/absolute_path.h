// Paths made absolute for the file list, so that a saved settings file means
// the same files whatever folder it is loaded from.
#pragma once

#include <string>

namespace ostrevin::app {

// `path` resolved against `folder` (an absolute folder; the current folder
// when empty), without following symbolic links: "." and empty components go;
// ".." takes back the component before it only when that is a real folder
// (after a symbolic link or a missing component ".." means something else to
// the system, so it stays). An absolute `path` is tidied the same way; an
// empty one stays empty, and so does a relative one when the current folder
// cannot be told.
[[nodiscard]] std::string AbsolutePath(const std::string& path, const std::string& folder = {});

}  // namespace ostrevin::app
