// The fixed texts that the batch run and the file pipeline show a person.
#pragma once

#include <string>
#include <string_view>

namespace ostrevin::messages {

inline constexpr std::string_view kErrorCaption = "エラー";
inline constexpr std::string_view kConfirmCaption = "確認";

inline constexpr std::string_view kEmptyList = "変換元ファイルがリストにありません";
inline constexpr std::string_view kConfirmRun = "変換を実行します。よろしいですか？";
inline constexpr std::string_view kStatusSeparator = " -> ";
inline constexpr std::string_view kStatusError = "変換エラー！";
inline constexpr std::string_view kStatusFinished = "変換終了！";

// %s: the output path.
inline constexpr std::string_view kOverwriteQuestion = "%s は上書きされます。よろしいですか？";
// %lu: the system error number.
inline constexpr std::string_view kSourceOpenError =
    "変換元ファイルをオープンできません。(Error:%lu)";
inline constexpr std::string_view kOutputOpenError =
    "変換先のフォルダがないか、\n変換先ファイルをオープンできません。(Error:%lu)";
inline constexpr std::string_view kSourceHasNul =
    "変換元ファイルにNULバイトが含まれているため、変換できません。";
// %lu: the source line, from 1; %04X: the code point; %s: the character.
inline constexpr std::string_view kUnmappableCharacter =
    "変換元ファイルの %lu 行目に、シフトJISで表せない文字 U+%04X (%s) があるため、変換できません。";
// %lu: the source line, from 1; %s: the bytes in hex ("E3 81").
inline constexpr std::string_view kInvalidBytes =
    "変換元ファイルの %lu 行目に、変換できないバイト列 (%s) があるため、変換できません。";
// %1: the source path; %2: how many 〓 were written into its output.
inline constexpr std::string_view kSubstitutedCount = "%1: 〓 に置き換えた文字 %2 個";
inline constexpr std::string_view kSourceChanged =
    "変換中に変換元ファイルが変更されたため、上書きしません。";
inline constexpr std::string_view kNulProduced = "変換中にNULバイトが生じたため、変換できません。";

// %1: the source of an entry whose output another entry of the run has
// written or will write.
inline constexpr std::string_view kSameOutput =
    "%1 は、この変換で既に出力したファイルと同じ名前になるため、変換しません。";

// %1: a path that does not exist (the command line's report for it).
inline constexpr std::string_view kPathNotFound = "%1 が見つかりませんでした。";

// Replaces the first `placeholder` in `text` with `value`.
[[nodiscard]] inline std::string Format(std::string_view text, std::string_view placeholder,
                                        std::string_view value) {
  const auto at = text.find(placeholder);
  if (at == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size() - placeholder.size() + value.size());
  out.append(text.substr(0, at)).append(value).append(text.substr(at + placeholder.size()));
  return out;
}

// A "(Error:%lu)" message with the error number as unsigned decimal.
[[nodiscard]] inline std::string FormatError(std::string_view text, int error_number) {
  return Format(text, "%lu", std::to_string(static_cast<unsigned long>(error_number)));
}

}  // namespace ostrevin::messages
