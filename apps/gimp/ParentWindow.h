// Where GIMP's image window is, so the module's dialog can centre on it.
#pragma once

#include <optional>

#include "PIFilter.h"

namespace tesselume::gimp {

// The screen rectangle of the X11 window with this id and the screen's size; none
// without a display or a window.
std::optional<PIWindowGeometry> ParentWindow(long windowId);

}  // namespace tesselume::gimp
