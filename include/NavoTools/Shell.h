// Shell and process utilities.
#pragma once

#include <afxwin.h>

#include "NavoTools/Export.h"

// The text with each byte of value 0x20 or less and each plus sign replaced by '%' and two
// upper-case hex digits ("a b+c" gives "a%20b%2Bc"); every other byte, the percent sign
// and bytes 0x7F-0xFF included, passes unchanged. Bytes are escaped one by one, so the
// escape of a concatenation is the concatenation of the escapes.
NAVOTOOLS_API CString ConvertForWeb(CString text);

// Creates the shell shortcut <folder>\<base name of target>.LNK to targetPath (quotes
// around it are removed: trailing blanks, then the last and the first character), with the
// target's drive and folder as working directory, the description (set even when empty)
// and the arguments (set only when not empty). The calling thread must have initialized
// COM. E_INVALIDARG when targetPath or folder is empty; the HRESULT of the first COM step
// that fails; HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE) when the link path does not
// fit MAX_PATH wide characters (nothing is saved); otherwise the result of saving.
NAVOTOOLS_API HRESULT CreateShortcut(CString targetPath, CString folder, CString description, CString arguments);

// Runs the command line with WinExec. Returns 1 when the program was started; otherwise
// shows "Cannot run <command line>" with the details of WinExec's error code through
// ShowError (OK button, exclamation icon) and returns 0 once the box is closed.
NAVOTOOLS_API int StartApp(CString commandLine, UINT showCommand);

// Posts WM_COMMAND ID_APP_EXIT and then WM_CLOSE to the first top-level window of the
// class. 0 when there is no such window (nothing is posted); otherwise the result of
// posting WM_CLOSE. Does not wait for the application to quit.
NAVOTOOLS_API int CloseAppByClassName(CString className);
