// TEMPORARY: replaced by the real subcommand.
#include <iostream>

#include "cli/commands.h"

namespace ostrevin::cli {

void AddApplyCommand(CLI::App& app, int& status) {
  app.add_subcommand("apply", "(not built yet)")->callback([&status] {
    std::cerr << "apply: not built yet\n";
    status = 2;
  });
}

}  // namespace ostrevin::cli
