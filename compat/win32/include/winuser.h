// User-interface definitions: message boxes, string resources, window messages.
#pragma once

#include "winbase.h"

#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_CANCELTRYCONTINUE 0x00000006u
#define MB_TYPEMASK 0x0000000Fu
#define MB_ICONHAND 0x00000010u
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONMASK 0x000000F0u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON1 0x00000000u
#define MB_DEFBUTTON2 0x00000100u
#define MB_DEFBUTTON3 0x00000200u
#define MB_DEFBUTTON4 0x00000300u
#define MB_DEFMASK 0x00000F00u
#define MB_APPLMODAL 0x00000000u
#define MB_SYSTEMMODAL 0x00001000u
#define MB_TASKMODAL 0x00002000u
#define MB_MODEMASK 0x00003000u
#define MB_SETFOREGROUND 0x00010000u
#define MB_TOPMOST 0x00040000u

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
#define IDTRYAGAIN 10
#define IDCONTINUE 11

// Standard cursors for LoadCursorA with a null instance.
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)
#define IDC_UPARROW MAKEINTRESOURCEA(32516)
#define IDC_SIZENWSE MAKEINTRESOURCEA(32642)
#define IDC_SIZENESW MAKEINTRESOURCEA(32643)
#define IDC_SIZEWE MAKEINTRESOURCEA(32644)
#define IDC_SIZENS MAKEINTRESOURCEA(32645)
#define IDC_SIZEALL MAKEINTRESOURCEA(32646)
#define IDC_NO MAKEINTRESOURCEA(32648)
#define IDC_HAND MAKEINTRESOURCEA(32649)
#define IDC_APPSTARTING MAKEINTRESOURCEA(32650)
#define IDC_HELP MAKEINTRESOURCEA(32651)

#define WM_NULL 0x0000
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_COMMAND 0x0111

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

extern "C" {

// Copies string `id` of the module's string table into buffer, converted to the ANSI code
// page without splitting a character, and terminates it. Returns the number of bytes
// copied without the terminator; 0 when the module has no such string.
WINBASEAPI int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax);

// Windows are the X11 top-level windows of the display named by $DISPLAY; an HWND is an
// X window id. Without a display there are no windows.

// The first top-level window (topmost first) whose class, the class part of WM_CLASS,
// equals className ignoring case, and whose title equals windowName; a null argument
// matches any. Null, with ERROR_FILE_NOT_FOUND, when there is none.
WINUSERAPI HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName);
// Sends the message to the window's client and returns at once. WM_CLOSE is the ICCCM
// WM_DELETE_WINDOW request (FALSE with ERROR_NOT_SUPPORTED when the window does not take
// part in that protocol); any other message is a _NAVOTOOLS_WM_MESSAGE client message
// (see docs/shell.md). FALSE with ERROR_INVALID_WINDOW_HANDLE for a window that does not
// exist.
WINUSERAPI BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// TRUE when the window exists.
WINUSERAPI BOOL WINAPI IsWindow(HWND window);

// Shows a modal message box and returns the button pressed (IDOK, IDCANCEL, IDYES, ...).
// The box has the buttons of type's MB_TYPEMASK, the icon of its MB_ICONMASK, the default
// button of its MB_DEFMASK; caption null gives "Error", text null an empty text. 0 with
// ERROR_INVALID_MSGBOX_STYLE for a button type the platform does not have.
// Where it shows (docs/mfc-layer.md): with a display ($DISPLAY or $WAYLAND_DISPLAY) a GTK
// dialog of the program navotools-dialog, run beside the library and waited for; without a
// display, or when that program cannot run, a box with one button writes "caption: text"
// to standard error and returns at once, and a box with a choice asks on the terminal when
// standard input and standard error are terminals, or else answers the safe button (Cancel
// where there is one, No for MB_YESNO, Abort for MB_ABORTRETRYIGNORE), never Yes, OK or
// Retry. NAVOTOOLS_UI=gui|terminal|none chooses: the dialog; the terminal (the question is
// read from standard input whatever it is); or no question at all (the safe answer).
WINUSERAPI int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Cursors. A standard cursor's handle is the same for every load. The process has one
// current cursor, null until SetCursor sets one. With an X11 display the current cursor is
// shown over this process's own top-level windows (those whose _NET_WM_PID is this
// process): IDC_WAIT and IDC_APPSTARTING as the watch, null and IDC_ARROW as the windows'
// default; without a display only the handle is kept.
// A standard cursor for a null instance; null with ERROR_RESOURCE_NAME_NOT_FOUND for any
// other name or for a module's own cursor resources, which this layer does not load.
WINUSERAPI HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
// Makes cursor the current cursor; returns the previous one.
WINUSERAPI HCURSOR WINAPI SetCursor(HCURSOR cursor);
WINUSERAPI HCURSOR WINAPI GetCursor();

}  // extern "C"
