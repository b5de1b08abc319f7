// Internet status descriptions: short English texts for HTTP status codes and WinInet
// error codes, loaded from the library's string table through the resource chain.
#pragma once

#include <afxwin.h>

#include "NavoTools/Export.h"

// The phrase for an HTTP status code ("object not found" for 404); "No description
// available" for a code the table does not know (306, 406, 505, anything below 100 or
// above 504).
NAVOTOOLS_API CString GetHttpStatusCodeDescription(LONG code);

// The sentence for a WinInet error code (12001-12043, 12110-12111, 12150-12156, with gaps);
// an empty string for any other code.
NAVOTOOLS_API CString GetWinInetErrorDescription(DWORD code);

// Copies GetWinInetErrorDescription(code) into buffer and returns -1; returns 0 and leaves
// the buffer untouched when buffer is null, capacity is 0 or less, or the code has no text.
// When it copies, the whole buffer is zeroed first and at most capacity - 1 bytes are
// written, never half of a multibyte character, so the text always ends in a zero byte.
// A text cut short still returns -1.
NAVOTOOLS_API int GetWinInetErrorDescriptionVB(DWORD code, char* buffer, int capacity);
