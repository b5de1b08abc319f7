// Kernel functions: last error, strings, message formatting, local memory, modules and
// resources.
#pragma once

#include <cstdarg>

#include "winerror.h"
#include "winnt.h"

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF

#define LMEM_FIXED 0x0000
#define LMEM_MOVEABLE 0x0002
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)

#define RT_CURSOR MAKEINTRESOURCE(1)
#define RT_BITMAP MAKEINTRESOURCE(2)
#define RT_ICON MAKEINTRESOURCE(3)
#define RT_MENU MAKEINTRESOURCE(4)
#define RT_DIALOG MAKEINTRESOURCE(5)
#define RT_STRING MAKEINTRESOURCE(6)
#define RT_FONTDIR MAKEINTRESOURCE(7)
#define RT_FONT MAKEINTRESOURCE(8)
#define RT_ACCELERATOR MAKEINTRESOURCE(9)
#define RT_RCDATA MAKEINTRESOURCE(10)
#define RT_MESSAGETABLE MAKEINTRESOURCE(11)
#define RT_GROUP_CURSOR MAKEINTRESOURCE(12)
#define RT_GROUP_ICON MAKEINTRESOURCE(14)
#define RT_VERSION MAKEINTRESOURCE(16)
#define RT_MANIFEST MAKEINTRESOURCE(24)

extern "C" {

// Last-error value of the calling thread.
WINBASEAPI DWORD WINAPI GetLastError();
WINBASEAPI void WINAPI SetLastError(DWORD errorCode);

// Copies at most count - 1 bytes of src and always terminates when count >= 1;
// writes nothing when count is 0. Returns dest.
WINBASEAPI LPSTR WINAPI lstrcpynA(LPSTR dest, LPCSTR src, int count);
WINBASEAPI int WINAPI lstrlenA(LPCSTR s);

// Formats a message from a string, a module's message table or the system message table.
// Returns the number of characters stored without the terminator, or 0 with the last
// error set (ERROR_MR_MID_NOT_FOUND, ERROR_RESOURCE_LANG_NOT_FOUND,
// ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_PARAMETER, ...).
WINBASEAPI DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId,
                                       DWORD languageId, LPSTR buffer, DWORD size,
                                       va_list* arguments);

// Project extension: FormatMessageA with an argument array of known length. An insert
// that names an argument past argCount fails with ERROR_INVALID_PARAMETER instead of
// reading outside the array.
WINBASEAPI DWORD WINAPI NavoFormatMessageArrayA(DWORD flags, LPCVOID source, DWORD messageId,
                                                DWORD languageId, LPSTR buffer, DWORD size,
                                                const DWORD_PTR* arguments, DWORD argCount);

WINBASEAPI HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes);
WINBASEAPI HLOCAL WINAPI LocalFree(HLOCAL mem);
WINBASEAPI SIZE_T WINAPI LocalSize(HLOCAL mem);

// Modules. A null name gives the module of the running executable.
WINBASEAPI HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName);
// The module's file path. A path longer than size - 1 is cut, terminated, and the call
// returns size with ERROR_INSUFFICIENT_BUFFER.
WINBASEAPI DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);

// Resources of a module (null: the executable). Names and types are integer resources
// (MAKEINTRESOURCE), "#123" strings or case-insensitive names. A neutral language follows
// the platform's search: the thread's UI language, the user's and the system's
// language, English, then the first language present.
WINBASEAPI HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
WINBASEAPI HRSRC WINAPI FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name,
                                        WORD language);
WINBASEAPI HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource);
WINBASEAPI DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource);
WINBASEAPI LPVOID WINAPI LockResource(HGLOBAL resourceData);
WINBASEAPI BOOL WINAPI FreeResource(HGLOBAL resourceData);

// Starts the program of a command line (split as the platform splits one, the program
// found through PATH when the name has no folder), without a shell. Returns 33 when it was
// started; otherwise ERROR_FILE_NOT_FOUND (2), ERROR_PATH_NOT_FOUND (3),
// ERROR_ACCESS_DENIED (5), ERROR_BAD_FORMAT (11), or 0 when resources ran out. Started
// programs are reaped when they end. The show command is accepted and has no effect.
WINBASEAPI UINT WINAPI WinExec(LPCSTR commandLine, UINT showCommand);

}  // extern "C"
