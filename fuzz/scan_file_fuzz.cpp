// Fuzz target for the platform-dependent character scan: ScanFile over any
// bytes, checked against a slow reference classifier and against the
// incremental scanner fed one byte at a time.
//
// Input: one byte of scan flags, then the file's bytes.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/shift_jis.h"
#include "fuzz/fuzz_files.h"
#include "fuzz/fuzz_input.h"
#include "scan/scanner.h"

namespace {

using namespace ostrevin;
using fuzz::Require;

// The characters the scan reports, found the obvious way: the input ends at
// its first 0x1A byte; a lead byte takes the next byte with it.
std::string ReferenceScan(std::string_view bytes, const ScanFlags& flags) {
  bytes = bytes.substr(0, bytes.find('\x1A'));
  std::string found;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto b = static_cast<std::uint8_t>(bytes[i]);
    if (sjis::IsLeadByte(b)) {
      if (i + 1 >= bytes.size()) break;
      const auto t = static_cast<std::uint8_t>(bytes[i + 1]);
      if (sjis::IsTrailByte(t)) {
        const unsigned code = b * 256u + t;
        const bool report = (flags.special && code >= 0x8540 && code <= 0x889E) ||
                            (flags.extended && code >= 0xEB40 && code <= 0xEFFC) ||
                            (flags.user_defined && code >= 0xF040);
        if (report) found.append(bytes.substr(i, 2));
      }
      i += 2;
      continue;
    }
    if (flags.half_width_kana && sjis::IsHalfWidthKatakana(b)) found.push_back(bytes[i]);
    ++i;
  }
  return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const std::uint8_t choice = input.TakeByte();
  ScanFlags flags;
  flags.half_width_kana = (choice & 1) == 0;
  flags.special = (choice & 2) == 0;
  flags.extended = (choice & 4) == 0;
  flags.user_defined = (choice & 8) == 0;
  const std::string_view bytes = input.Rest();
  const std::string detail = fuzz::Hex(bytes);

  const fuzz::ScratchFolder folder;
  const std::string path = folder.Write("scan.txt", bytes);
  const ScanFileResult result = ScanFile(path, flags);
  Require(result.read, "a regular file is read", detail);
  Require(result.found == ReferenceScan(bytes, flags), "ScanFile agrees with the reference",
          detail);

  // The scanner fed one byte at a time finds the same.
  ShiftJisScanner scanner(flags);
  std::string found;
  const std::string_view text = bytes.substr(0, bytes.find('\x1A'));
  for (std::size_t i = 0; i < text.size(); ++i) scanner.Feed(text.substr(i, 1), found);
  Require(found == result.found, "feeding byte by byte finds the same", detail);

  for (const ScanRendering rendering : {ScanRendering::kRaw, ScanRendering::kUtf8}) {
    const std::string block = FormatScanBlock(path, result, rendering);
    Require(block.empty() == result.found.empty(), "a block is written when something was found",
            detail);
    Require(block.empty() || block.starts_with("[" + path + "]\r\n"), "a block opens with its path",
            detail);
  }
  return 0;
}
