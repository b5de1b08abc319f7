// The current cursor over this process's own X11 windows (x11_windows.cpp).
#pragma once

namespace navo::x11 {

enum class PointerShape { Default, Watch };

// Shows the shape over every top-level window of the display of $DISPLAY whose
// _NET_WM_PID is this process (Default: the window's own cursor, XUndefineCursor).
// Without a display it does nothing.
void ShowCursorOnOwnWindows(PointerShape shape);

}  // namespace navo::x11
