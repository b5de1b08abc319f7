// LoadCursorA, SetCursor and GetCursor on Linux (the user32 family).
//
// The standard cursors are handles to fixed records, so every load of one gives the same
// handle, as the platform's shared cursors do. The process has one current cursor (the
// platform keeps one per input queue; an application's wait cursor is set and restored on
// its user-interface thread, so one per process serves it). With an X11 display the current
// cursor's shape is shown over the process's own top-level windows; only the watch is drawn,
// every other cursor leaves the windows their own.
#include <windows.h>

#include <mutex>

#include "user/x11_cursor.h"

namespace {

using navo::x11::PointerShape;

struct StandardCursor {
    WORD id;
    PointerShape shape;
};

const StandardCursor kStandardCursors[] = {
    {32512, PointerShape::Default},  // IDC_ARROW
    {32513, PointerShape::Default},  // IDC_IBEAM
    {32514, PointerShape::Watch},    // IDC_WAIT
    {32515, PointerShape::Default},  // IDC_CROSS
    {32516, PointerShape::Default},  // IDC_UPARROW
    {32642, PointerShape::Default},  // IDC_SIZENWSE
    {32643, PointerShape::Default},  // IDC_SIZENESW
    {32644, PointerShape::Default},  // IDC_SIZEWE
    {32645, PointerShape::Default},  // IDC_SIZENS
    {32646, PointerShape::Default},  // IDC_SIZEALL
    {32648, PointerShape::Default},  // IDC_NO
    {32649, PointerShape::Default},  // IDC_HAND
    {32650, PointerShape::Watch},    // IDC_APPSTARTING
    {32651, PointerShape::Default},  // IDC_HELP
};

std::mutex g_lock;
HCURSOR g_current = nullptr;
PointerShape g_shown = PointerShape::Default;

PointerShape ShapeOf(HCURSOR cursor) {
    for (const StandardCursor& c : kStandardCursors)
        if (cursor == reinterpret_cast<HCURSOR>(const_cast<StandardCursor*>(&c))) return c.shape;
    return PointerShape::Default;
}

}  // namespace

extern "C" {

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    auto id = reinterpret_cast<uintptr_t>(name);
    if (!instance && id <= 0xFFFF) {
        for (const StandardCursor& c : kStandardCursors)
            if (c.id == id) return reinterpret_cast<HCURSOR>(const_cast<StandardCursor*>(&c));
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    std::lock_guard<std::mutex> lock(g_lock);
    HCURSOR previous = g_current;
    g_current = cursor;
    PointerShape shape = ShapeOf(cursor);
    // Only a change of shape goes to the display: nested waits cost no round trips.
    if (shape != g_shown) {
        navo::x11::ShowCursorOnOwnWindows(shape);
        g_shown = shape;
    }
    return previous;
}

HCURSOR WINAPI GetCursor() {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_current;
}

}  // extern "C"
