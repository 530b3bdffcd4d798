// The converters into Shift-JIS over any output of shift_jis_output.h: the
// whole text into a buffer (ShiftJisOutput, behind EucToShiftJis and its
// siblings) or CR LF text in blocks (CrLfBlockOutput, for a file written as
// it is converted). Each reads the whole `source`, stops at the first thing
// it cannot convert when the output says so, and is instantiated for both
// outputs where it is defined.
#pragma once

#include <string_view>

namespace ostrevin {

template <class Out>
void EucInto(std::string_view source, Out& out);

template <class Out>
void JisInto(std::string_view source, Out& out);

template <class Out>
void Utf8Into(std::string_view source, Out& out);

}  // namespace ostrevin
