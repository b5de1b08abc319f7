// Whether there is a display to look for windows on. Apart from the other commands'
// files: Xlib's macros (Success, Status) clash with the option parser's names.
#include <X11/Xlib.h>

#include <cstdlib>
#include <string>

namespace navotools {

std::string NoDisplayReason() {
    const char* name = getenv("DISPLAY");
    if (!name || !*name) return "no display: DISPLAY is not set";
    Display* display = XOpenDisplay(name);
    if (!display) return std::string("no display: cannot connect to ") + name;
    XCloseDisplay(display);
    return {};
}

}  // namespace navotools
