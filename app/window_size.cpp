// Reading and writing the window size keys.
#include "app/window_size.h"

#include <algorithm>

namespace ostrevin::app {
namespace {

constexpr char kSection[] = "Window";
constexpr char kWidth[] = "Width";
constexpr char kHeight[] = "Height";

}  // namespace

UnitSize ReadWindowSize(const ProfileStore& store, UnitSize design) {
  return {std::max(design.width, store.ReadInteger(kSection, kWidth, design.width)),
          std::max(design.height, store.ReadInteger(kSection, kHeight, design.height))};
}

void WriteWindowSize(ProfileStore& store, UnitSize size, UnitSize design) {
  // The section holds these two keys only: rewritten whole, it keeps no stale one.
  store.DeleteSection(kSection);
  if (size.width != design.width) (void)store.WriteInteger(kSection, kWidth, size.width);
  if (size.height != design.height) (void)store.WriteInteger(kSection, kHeight, size.height);
}

}  // namespace ostrevin::app
