// StartApp and CloseAppByClassName: starting a program, asking an application to quit.
#include <afxres.h>

#include "NavoTools/ErrorMessages.h"
#include "NavoTools/Shell.h"
#include "NavoTools/StringIds.h"

int StartApp(CString commandLine, UINT showCommand) {
    UINT result = WinExec(commandLine, showCommand);
    if (int(result) > 31) return 1;
    CString message;
    message.Format(UINT(IDS_NAVO_CANNOT_RUN), static_cast<LPCSTR>(commandLine));
    ShowError(message, LONG(result), MB_OK | MB_ICONEXCLAMATION);
    return 0;
}

int CloseAppByClassName(CString className) {
    HWND window = FindWindowA(className, nullptr);
    if (!window) return 0;
    // The exit command lets an MFC application close as its File Exit does; the close
    // request reaches any other application. Only the second result counts.
    PostMessageA(window, WM_COMMAND, ID_APP_EXIT, 0);
    return PostMessageA(window, WM_CLOSE, 0, 0);
}
