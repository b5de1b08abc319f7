// Error messages with a details line: "<text>\n\nDetails: [0x<8 hex digits>] <description>".
#pragma once

#include <afxwin.h>

#include "NavoTools/Export.h"

// The system's description of a Win32 error code in the user's default language, with
// its trailing CR LF; empty when the system has none (or it exceeds 1023 characters).
NAVOTOOLS_API CString GetSystemErrorMessage(LONG code);

// text, two line feeds, "Details: [0x", the code's 32-bit pattern as eight upper-case hex
// digits, "] " and the system's description of the code.
NAVOTOOLS_API CString GetErrorMessageWithDetails(CString text, LONG code);

// Shows GetErrorMessageWithDetails(text, code) with AfxMessageBox and the style flags as
// given.
NAVOTOOLS_API void ShowError(CString text, LONG code, UINT type);
// As above, with the text loaded by string ID through the resource chain (empty when no
// module holds the ID).
NAVOTOOLS_API void ShowError(UINT textId, LONG code, UINT type);
