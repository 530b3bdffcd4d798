// ostrevin-cli: the command-line front end over the conversion core.
#include <csignal>
#include <cstdio>
#include <new>

#include "cli/commands.h"
#include "core/file_error.h"

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
  } catch (const std::bad_alloc&) {
    // Wherever memory ran out (a huge settings file, apply's input), the
    // program ends with the message rather than an abort.
    std::fputs(ostrevin::kOutOfMemoryMessage, stderr);
    std::fputc('\n', stderr);
    return 2;
  }
  return status;
}
