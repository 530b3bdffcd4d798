// ostrevin-cli: the command-line front end over the conversion core.
#include <csignal>

#include "cli/commands.h"

int main(int argc, char** argv) {
  // A file-size limit must show as EFBIG on the write, not kill the process.
  std::signal(SIGXFSZ, SIG_IGN);

  CLI::App app{"Ostrevin: batch converter for Japanese text files", "ostrevin-cli"};
  app.require_subcommand(1);
  int status = 0;
  ostrevin::cli::AddConvertCommand(app, status);
  ostrevin::cli::AddDetectCommand(app, status);
  ostrevin::cli::AddScanCommand(app, status);
  ostrevin::cli::AddApplyCommand(app, status);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version exit 0; every usage error exits 2.
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }
  return status;
}
