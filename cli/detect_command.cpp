// TEMPORARY: replaced by the real subcommand.
#include <iostream>

#include "cli/commands.h"

namespace ostrevin::cli {

void AddDetectCommand(CLI::App& app, int& status) {
  app.add_subcommand("detect", "(not built yet)")->callback([&status] {
    std::cerr << "detect: not built yet\n";
    status = 2;
  });
}

}  // namespace ostrevin::cli
