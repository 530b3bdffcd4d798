// ostrevin-cli: the command-line front end over the conversion core.
#include <csignal>
#include <cstdio>
#include <new>
#include <string>
#include <string_view>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/stop_signal.h"
#include "core/file_error.h"

namespace {

// The subcommand word of the command line (its first argument that is not
// an option: the tool itself takes only flags), or nothing.
std::string_view SubcommandWord(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (!argument.starts_with('-')) return argument;
  }
  return {};
}

bool IsSubcommand(const CLI::App& app, std::string_view word) {
  for (const CLI::App* command : app.get_subcommands({})) {
    if (command->check_name(std::string(word))) return true;
  }
  return false;
}

int Run(int argc, char** argv) {
  CLI::App app{"Ostrevin: batch converter for Japanese text files", "ostrevin-cli"};
  app.require_subcommand(1);
  app.footer(std::string(ostrevin::cli::kExitStatusHelp));  // inherited by the subcommands
  int status = ostrevin::cli::kExitDone;
  ostrevin::cli::AddConvertCommand(app, status);
  ostrevin::cli::AddDetectCommand(app, status);
  ostrevin::cli::AddScanCommand(app, status);
  ostrevin::cli::AddApplyCommand(app, status);
  const std::string version = std::string("ostrevin-cli ") + OSTREVIN_VERSION;
  app.set_version_flag("--version", version);
  for (CLI::App* command : app.get_subcommands({})) command->set_version_flag("--version", version);

  const std::string_view word = SubcommandWord(argc, argv);
  if (!word.empty() && !IsSubcommand(app, word)) {
    std::fprintf(stderr, "unknown subcommand: %.*s\n", static_cast<int>(word.size()), word.data());
    return ostrevin::cli::kExitError;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version exit 0; every usage error exits 2.
    status = app.exit(e) == 0 ? ostrevin::cli::kExitDone : ostrevin::cli::kExitError;
  } catch (const std::bad_alloc&) {
    // Wherever memory ran out (a huge settings file, apply's input), the
    // program ends with the message rather than an abort.
    std::fputs(ostrevin::kOutOfMemoryMessage, stderr);
    std::fputc('\n', stderr);
    status = ostrevin::cli::kExitError;
  }
  ostrevin::cli::EndByStopSignal();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit must show as EFBIG on the write, not kill the process.
  std::signal(SIGXFSZ, SIG_IGN);
  // A closed pipe must show as EPIPE on the write: the conversions go on, and
  // the exit status tells that output was lost.
  std::signal(SIGPIPE, SIG_IGN);

  const int status = Run(argc, argv);
  return ostrevin::cli::StandardStreamsWritten() ? status : ostrevin::cli::WithOutputLost(status);
}
