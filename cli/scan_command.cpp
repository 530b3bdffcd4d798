// TEMPORARY: replaced by the real subcommand.
#include <iostream>

#include "cli/commands.h"

namespace ostrevin::cli {

void AddScanCommand(CLI::App& app, int& status) {
  app.add_subcommand("scan", "(not built yet)")->callback([&status] {
    std::cerr << "scan: not built yet\n";
    status = 2;
  });
}

}  // namespace ostrevin::cli
