// Xlib (window lookup and posting, the wait cursor), loaded on the first window call
// (late_library.h). Without it, XOpenDisplay answers NULL and sets the diagnosis: the
// window calls behave as without a display.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "system/late_forward.h"

// clang-format off
#define NAVO_X11_FUNCTIONS(X) \
    X(int, XCloseDisplay, (Display* d), (d), 0) \
    X(Cursor, XCreateFontCursor, (Display* d, unsigned int shape), (d, shape), None) \
    X(int, XDefineCursor, (Display* d, Window w, Cursor c), (d, w, c), 0) \
    X(Status, XFetchName, (Display* d, Window w, char** name), (d, w, name), 0) \
    X(int, XFree, (void* data), (data), 0) \
    X(int, XFreeCursor, (Display* d, Cursor c), (d, c), 0) \
    X(Status, XGetClassHint, (Display* d, Window w, XClassHint* hint), (d, w, hint), 0) \
    X(Status, XGetWMProtocols, (Display* d, Window w, Atom** protocols, int* count), (d, w, protocols, count), 0) \
    X(Status, XGetWindowAttributes, (Display* d, Window w, XWindowAttributes* a), (d, w, a), 0) \
    X(int, XGetWindowProperty, (Display* d, Window w, Atom property, long offset, long length, Bool remove, Atom wanted, Atom* type, int* format, unsigned long* items, unsigned long* after, unsigned char** data), (d, w, property, offset, length, remove, wanted, type, format, items, after, data), BadImplementation) \
    X(Atom, XInternAtom, (Display* d, const char* name, Bool onlyIfExists), (d, name, onlyIfExists), None) \
    X(Display*, XOpenDisplay, (const char* name), (name), MissingDisplay()) \
    X(Status, XQueryTree, (Display* d, Window w, Window* root, Window* parent, Window** children, unsigned int* count), (d, w, root, parent, children, count), 0) \
    X(Status, XSendEvent, (Display* d, Window w, Bool propagate, long mask, XEvent* event), (d, w, propagate, mask, event), 0) \
    X(XErrorHandler, XSetErrorHandler, (XErrorHandler handler), (handler), nullptr) \
    X(int, XSync, (Display* d, Bool discard), (d, discard), 0) \
    X(int, XUndefineCursor, (Display* d, Window w), (d, w), 0)
// clang-format on

namespace {

enum : size_t { NAVO_X11_FUNCTIONS(NAVO_LATE_INDEX) kLateCount };
constexpr const char* kNames[] = {NAVO_X11_FUNCTIONS(NAVO_LATE_NAME)};
void* g_slots[kLateCount];
constinit navo::win32::LateLibrary g_x11("Xlib", "libX11.so.6", kNames, g_slots, kLateCount);

Display* MissingDisplay() {
    g_x11.Diagnose();
    return nullptr;
}

}  // namespace

extern "C" {
#define NAVO_X11_FORWARD(...) NAVO_LATE_FORWARD(g_x11, __VA_ARGS__)
NAVO_X11_FUNCTIONS(NAVO_X11_FORWARD)
}
