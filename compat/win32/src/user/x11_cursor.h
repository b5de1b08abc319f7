// The current cursor over this process's own X11 windows (x11_windows.cpp).
#pragma once

namespace navo::x11 {

enum class PointerShape { Default, Watch };

// Shows the shape over every top-level window of the display of $DISPLAY whose
// _NET_WM_PID is this process (Default: the window's own cursor, XUndefineCursor).
// Without a display it does nothing. While the watch is shown a connection to the display
// stays open. Callers serialize the calls (cursors.cpp holds a lock).
void ShowCursorOnOwnWindows(PointerShape shape);

}  // namespace navo::x11
