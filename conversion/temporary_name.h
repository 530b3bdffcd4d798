// The names of the files a run writes before they replace an output, and the
// test that tells them from a person's own files.
#pragma once

#include <random>
#include <string>
#include <string_view>

namespace ostrevin {

// "." + the output's name + ".ostrevin-" + six random letters or digits. The
// name part is shortened so that the whole stays within the system's limit
// for one name.
[[nodiscard]] std::string TemporaryName(std::string_view output_name, std::mt19937_64& random);

// True for exactly the shape TemporaryName makes: folder walks skip these,
// so that one run never converts another run's half-written file. Other dot
// files are a person's own and are listed.
[[nodiscard]] bool IsTemporaryName(std::string_view name);

}  // namespace ostrevin
