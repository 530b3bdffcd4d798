// The converters into Shift-JIS over any output of shift_jis_output.h: the
// whole text into a buffer (ShiftJisOutput, behind EucToShiftJis and its
// siblings) or CR LF text in blocks (CrLfBlockOutput, for a file written as
// it is converted). Each reads the whole `source`, stops at the first thing
// it cannot convert when the output says so, and is instantiated for both
// outputs where it is defined. A text may be converted piece by piece when
// every piece but the last ends right after a line end (CR or LF) and no
// CR LF is split: no character or escape sequence holds a line end.
#pragma once

#include <string_view>

namespace ostrevin {

template <class Out>
void EucInto(std::string_view source, Out& out);

// The JIS mode in force: it starts as Roman and carries over from one piece
// of a text to the next.
enum class JisMode { kRoman, kKanji, kKana };

template <class Out>
void JisInto(std::string_view source, Out& out, JisMode& mode);

// `text_start`: `source` starts the text, where a BOM is dropped.
template <class Out>
void Utf8Into(std::string_view source, Out& out, bool text_start);

}  // namespace ostrevin
