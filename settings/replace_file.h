// Replacing a whole file atomically: write a temporary file beside it, then
// rename it over the original.
#pragma once

#include <string>
#include <string_view>

namespace ostrevin {

// Writes `bytes` as the new content of `path`. The temporary file is made in
// the target's folder (".<name>.<random>", the name shortened to fit), written,
// flushed to disk and renamed over the target. A symbolic link is followed to
// the file it names, so the link stays a link. A new file gets 0666 less the
// umask; an existing one keeps its permission bits (and its owner and group
// where the process may set them). Returns 0 or the errno of the first
// failure; on failure the target is untouched and the temporary file removed.
[[nodiscard]] int ReplaceFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace ostrevin
