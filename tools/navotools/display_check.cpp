// Whether there is a display to look for windows on. Apart from the other commands'
// files: Xlib's macros (Success, Status) clash with the option parser's names. Xlib is
// loaded here only when a command asks (by soname, as the library does), so that the
// commands without windows start without it.
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <cstdlib>
#include <string>

namespace navotools {

std::string NoDisplayReason() {
    const char* name = getenv("DISPLAY");
    if (!name || !*name) return "no display: DISPLAY is not set";
    void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
    if (!xlib) {
        const char* why = dlerror();
        return std::string("no display: Xlib is not available: ") + (why ? why : "libX11.so.6");
    }
    auto open = reinterpret_cast<decltype(&XOpenDisplay)>(dlsym(xlib, "XOpenDisplay"));
    auto close = reinterpret_cast<decltype(&XCloseDisplay)>(dlsym(xlib, "XCloseDisplay"));
    if (!open || !close) return "no display: Xlib is not available: libX11.so.6 lacks XOpenDisplay";
    Display* display = open(name);
    if (!display) return std::string("no display: cannot connect to ") + name;
    close(display);
    return {};
}

}  // namespace navotools
