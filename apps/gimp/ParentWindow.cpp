// The image window's geometry from the X server.
#include "ParentWindow.h"

#include <X11/Xlib.h>

namespace tesselume::gimp {

namespace {

// Failures (a window gone meanwhile) are answered, not fatal.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

std::optional<PIWindowGeometry> ParentWindow(long windowId) {
    if (windowId <= 0) return std::nullopt;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return std::nullopt;
    const auto previous = XSetErrorHandler(IgnoreErrors);
    std::optional<PIWindowGeometry> geometry;
    XWindowAttributes attributes;
    int x = 0, y = 0;
    Window child = 0;
    const Window window = Window(windowId), root = DefaultRootWindow(display);
    if (XGetWindowAttributes(display, window, &attributes) &&
        XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child)) {
        PIWindowGeometry g{};
        g.parent = VRect{y, x, y + attributes.height, x + attributes.width};
        g.screenWidth = DisplayWidth(display, DefaultScreen(display));
        g.screenHeight = DisplayHeight(display, DefaultScreen(display));
        geometry = g;
    }
    XSetErrorHandler(previous);
    XCloseDisplay(display);
    return geometry;
}

}  // namespace tesselume::gimp
