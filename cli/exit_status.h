// The exit statuses of ostrevin-cli, shared by every subcommand, and the
// check of the standard streams that decides status 3.
#pragma once

#include <string_view>

namespace ostrevin::cli {

inline constexpr int kExitDone = 0;
// Some entry failed, a path did not exist, or a message was shown for a file.
inline constexpr int kExitTrouble = 1;
// A usage error, or the run could not start or was ended by an error.
inline constexpr int kExitError = 2;
// Standard output or standard error could not be written.
inline constexpr int kExitOutputLost = 3;

inline constexpr std::string_view kStandardOutputLost = "標準出力に書き込めませんでした。";

// The table of exit statuses as --help shows it.
inline constexpr std::string_view kExitStatusHelp =
    "Exit status:\n"
    "  0   every entry got everything that was asked for\n"
    "  1   some entry failed, a path did not exist, or a message was shown for a\n"
    "      file (a table that could not be opened, a faulty pattern command)\n"
    "  2   usage error, empty list, unreadable --settings, a destination folder\n"
    "      that does not exist or is not a writable folder, or an error that\n"
    "      ended the run (disk full, a failed write-back)\n"
    "  3   standard output or standard error could not be written (closed pipe,\n"
    "      full device); the conversions themselves were done\n"
    "  SIGINT, SIGTERM: the run stops at a file boundary and ends by the same\n"
    "      signal\n"
    "When several apply, 2 comes before 1, and 1 before 3.";

// `status` combined with a lost output: 3 when it was 0, else unchanged.
[[nodiscard]] constexpr int WithOutputLost(int status) {
  return status == kExitDone ? kExitOutputLost : status;
}

// Flushes standard output and standard error and tells whether everything
// written to them through stdio arrived. When standard output failed and
// standard error still works, says so there.
[[nodiscard]] bool StandardStreamsWritten();

}  // namespace ostrevin::cli
