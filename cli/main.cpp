// ostrevin-cli: the command-line front end over the conversion core.
#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
  CLI::App app{"Ostrevin: batch converter for Japanese text files", "ostrevin-cli"};
  app.require_subcommand(1);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? 0 : 2;
  }
  return 0;
}
