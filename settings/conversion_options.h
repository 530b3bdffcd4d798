// The nine option values that steer a conversion run, named by their settings keys.
#pragma once

#include <string>

namespace ostrevin {

struct ConversionOptions {
  std::string Destination;  // folder that receives the outputs (file system bytes)
  bool OverWrite = false;   // write each result over its source
  bool KanjiConvert = false;
  bool DeleteHTMLTag = false;
  int KanjiCode = 0;  // 1 EUC, 2 JIS, 3 UTF-8, anything else automatic detection
  bool UseTable = false;
  std::string TablePath;
  int RegExp = 0;  // 0 simple replacement, anything else pattern commands
  bool NoOutput = false;

  bool operator==(const ConversionOptions&) const = default;
};

// The platform's path limit (PATH_MAX - 1) that applies to Destination and
// TablePath, with the message "%1 文字以内で入力してください。".
inline constexpr int kMaxPathBytes = 4095;

}  // namespace ostrevin
