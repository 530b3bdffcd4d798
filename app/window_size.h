// The main window's size as the program's own settings file keeps it: section
// "Window", keys "Width" and "Height" in dialog units. Only a size that
// differs from the design's is stored, so a file of a window never resized
// holds no such section. User settings files never hold it.
#pragma once

#include "settings/profile_store.h"

namespace ostrevin::app {

struct UnitSize {
  int width = 0;
  int height = 0;

  bool operator==(const UnitSize&) const = default;
};

// The stored size; a key that is missing, not a number or below the design's
// size gives the design's.
[[nodiscard]] UnitSize ReadWindowSize(const ProfileStore& store, UnitSize design);

// Stores `size`, each key removed when it equals the design's.
void WriteWindowSize(ProfileStore& store, UnitSize size, UnitSize design);

}  // namespace ostrevin::app
