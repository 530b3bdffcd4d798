// TEMPORARY: replaced by the real subcommand.
#include <iostream>

#include "cli/commands.h"

namespace ostrevin::cli {

void AddConvertCommand(CLI::App& app, int& status) {
  app.add_subcommand("convert", "(not built yet)")->callback([&status] {
    std::cerr << "convert: not built yet\n";
    status = 2;
  });
}

}  // namespace ostrevin::cli
