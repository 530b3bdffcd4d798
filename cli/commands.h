// The subcommands of ostrevin-cli. Each Add*Command registers its subcommand
// on `app`; when the subcommand runs, its exit status is stored in `status`.
#pragma once

#include <CLI/CLI.hpp>

namespace ostrevin::cli {

void AddConvertCommand(CLI::App& app, int& status);
void AddDetectCommand(CLI::App& app, int& status);
void AddScanCommand(CLI::App& app, int& status);
void AddApplyCommand(CLI::App& app, int& status);

}  // namespace ostrevin::cli
