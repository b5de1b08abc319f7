// Locale and code-page functions. On Linux the ANSI code page is UTF-8.
#pragma once

#include "winnt.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_MACCP 2
#define CP_THREAD_ACP 3
#define CP_UTF7 65000
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_COMPOSITE 0x00000002
#define MB_USEGLYPHCHARS 0x00000004
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_NO_BEST_FIT_CHARS 0x00000400
#define WC_ERR_INVALID_CHARS 0x00000080

extern "C" {

// The ANSI code page of the process: 65001 (UTF-8) on Linux.
WINBASEAPI UINT WINAPI GetACP();
WINBASEAPI UINT WINAPI GetOEMCP();

// Converts between the multibyte code pages (CP_ACP, CP_UTF8) and UTF-16, with the
// platform's size query (cchDest 0), ERROR_INSUFFICIENT_BUFFER and MB_ERR_INVALID_CHARS.
WINBASEAPI int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int cbSrc,
                                          LPWSTR dest, int cchDest);
WINBASEAPI int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int cchSrc,
                                          LPSTR dest, int cbDest, LPCSTR defaultChar,
                                          LPBOOL usedDefaultChar);

// The user's and the system's default locale and UI language. On Linux they come from
// the POSIX locale (LC_ALL, LC_MESSAGES, LANG); C and POSIX read as English (1033).
WINBASEAPI LCID WINAPI GetUserDefaultLCID();
WINBASEAPI LCID WINAPI GetSystemDefaultLCID();
WINBASEAPI LANGID WINAPI GetUserDefaultLangID();
WINBASEAPI LANGID WINAPI GetSystemDefaultLangID();
WINBASEAPI LANGID WINAPI GetUserDefaultUILanguage();
WINBASEAPI LANGID WINAPI GetSystemDefaultUILanguage();

// The calling thread's UI language, which resource lookups without an explicit language
// prefer. 0 restores the user's default. Returns the language now in force.
WINBASEAPI LANGID WINAPI SetThreadUILanguage(LANGID langId);
WINBASEAPI LANGID WINAPI GetThreadUILanguage();

}  // extern "C"
