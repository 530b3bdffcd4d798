#include "conversion/streamed_conversion.h"

#include <cstdint>
#include <utility>

#include "conversion/shift_jis_converters.h"

namespace ostrevin {

namespace {

// A text that needs no code conversion: only its line ends change.
void CopyInto(std::string_view source, CrLfBlockOutput& out) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(source.data());
  const std::size_t size = source.size();
  std::size_t at = 0;
  for (; at + 8 <= size; at += 8) {
    out.Reserve();
    out.Word8(p + at);
  }
  for (; at < size; ++at) {
    out.Reserve();
    out.Byte(p[at]);
  }
}

}  // namespace

StreamedConversion ConvertInBlocks(std::string_view source, DetectedCode code, Unconvertible mode,
                                   std::span<char> block, CrLfBlockOutput::Sink sink) {
  CrLfBlockOutput out(source, mode, block, std::move(sink));
  switch (code) {
    case DetectedCode::kEuc:
      EucInto(source, out);
      break;
    case DetectedCode::kJis:
      JisInto(source, out);
      break;
    case DetectedCode::kUtf8:
      Utf8Into(source, out);
      break;
    case DetectedCode::kNone:
    case DetectedCode::kShiftJis:
      CopyInto(source, out);
      break;
  }
  StreamedConversion done;
  done.code = out.Finish();
  done.not_crlf = out.not_crlf();
  return done;
}

}  // namespace ostrevin
