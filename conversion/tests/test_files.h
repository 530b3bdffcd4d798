// The scratch-folder helpers under their older names, for tests that still
// include this header; new tests include core/testing/ directly.
#pragma once

#include <string>

#include "core/testing/hex.h"
#include "core/testing/scratch_folder.h"

namespace ostrevin::testing {

// A ScratchFolder whose path is a plain string.
class TempFolder : public ScratchFolder {
 public:
  [[nodiscard]] std::string path() const { return ScratchFolder::path().string(); }
};

}  // namespace ostrevin::testing
