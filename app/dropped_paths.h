// The paths of files and folders dropped on the window, as the file system's
// bytes, in the order the drag source lists them.
#pragma once

#include <string>
#include <vector>

class QMimeData;

namespace ostrevin::app {

// Reads the raw "text/uri-list" so that a name that is not valid UTF-8 keeps
// its bytes: each local "file:" URL (empty host or "localhost") is
// percent-decoded to bytes. Other URLs and comment lines are skipped. Without
// a uri-list, the decoded local files of the mime data are used.
[[nodiscard]] std::vector<std::string> DroppedPaths(const QMimeData& data);

}  // namespace ostrevin::app
