// Line-end normalisation: every CR LF, lone CR and lone LF becomes one LF.
#pragma once

#include <cstddef>
#include <string>

namespace ostrevin {

// Rewrites every line end of `text` in place as a single LF byte and returns
// how many line ends were not CR LF (a lone CR or a lone LF). The text never
// grows; a last line without a line end gets none. Works byte by byte: no byte
// of a double-byte character in Shift-JIS, EUC or JIS is 0x0D or 0x0A.
[[nodiscard]] std::size_t NormalizeLineEnds(std::string& text);

}  // namespace ostrevin
