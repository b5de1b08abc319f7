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

// Loads a module, or adds a reference to one already loaded. A name with a folder is taken
// as given; a bare name is first matched against the modules already loaded, then looked
// for in the application's folder, the current folder (or the SetDllDirectoryA folder),
// then NAVOTOOLS_LIBRARY_PATH and the library's own folders, matching file names
// case-insensitively (".dll" is added to a name without an extension; "NAME.dll" is also
// found as "NAME.dll.so"). A PE file loads as a resource image: resources and message
// tables, no code. An ELF shared object loads with dlopen. Null with ERROR_MOD_NOT_FOUND
// when nothing is found, ERROR_BAD_EXE_FORMAT for a file of neither format,
// ERROR_DLL_INIT_FAILED when the module's entry point refused to attach.
WINBASEAPI HMODULE WINAPI LoadLibraryA(LPCSTR fileName);
// LoadLibraryA with flags; `file` must be null. LOAD_LIBRARY_AS_DATAFILE,
// LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE and LOAD_LIBRARY_AS_IMAGE_RESOURCE read the file's
// resources without running any of its code: an ELF file is read, never dlopen'ed (the
// resources of its ".rsrc" section; none without one), and such a module is found by no
// name. A module loaded already answers such a load. The LOAD_LIBRARY_SEARCH_* flags and
// LOAD_WITH_ALTERED_SEARCH_PATH are accepted and search as LoadLibraryA does; other
// flags fail with ERROR_INVALID_PARAMETER.
WINBASEAPI HMODULE WINAPI LoadLibraryExA(LPCSTR fileName, HANDLE file, DWORD flags);
#define DONT_RESOLVE_DLL_REFERENCES 0x00000001
#define LOAD_LIBRARY_AS_DATAFILE 0x00000002
#define LOAD_WITH_ALTERED_SEARCH_PATH 0x00000008
#define LOAD_LIBRARY_AS_IMAGE_RESOURCE 0x00000020
#define LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE 0x00000040
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100
#define LOAD_LIBRARY_SEARCH_APPLICATION_DIR 0x00000200
#define LOAD_LIBRARY_SEARCH_USER_DIRS 0x00000400
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#define LOAD_LIBRARY_SEARCH_DEFAULT_DIRS 0x00001000
// Puts a folder into the search of bare module names, right after the application's
// folder and in place of the current folder; "" only takes the current folder out, null
// brings the default search back. Refuses a name of PATH_MAX characters or more
// (ERROR_FILENAME_EXCED_RANGE).
WINBASEAPI BOOL WINAPI SetDllDirectoryA(LPCSTR pathName);
// Drops one reference; the last one unloads the module. Modules the process was linked
// with stay loaded.
WINBASEAPI BOOL WINAPI FreeLibrary(HMODULE module);
// An exported function of an ELF module, by name. Null with ERROR_PROC_NOT_FOUND for a
// resource image, an ordinal or a name the module does not export.
WINBASEAPI FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);

// Initialization files. A bare file name ("WIN.INI") lives in the Windows directory of
// the emulated system (<state directory>/windows), matched case-insensitively; a name
// with a folder is taken as given. Sections and keys match case-insensitively, values
// are trimmed and lose one pair of enclosing quotes. A null section lists the sections,
// a null key the keys of the section, each terminated and the list ended by a second
// terminator. The result is truncated to size - 1 characters (size - 2 for a list) and
// the count copied is returned; a missing key copies the default, its trailing blanks
// removed, and sets ERROR_FILE_NOT_FOUND.
WINBASEAPI DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue,
                                                 LPSTR buffer, DWORD size, LPCSTR fileName);
// Sets a key (adding the section and the file when missing), deletes a key (value null)
// or a whole section (key null). The file is replaced atomically; names and values with
// line breaks are refused with ERROR_INVALID_PARAMETER.
WINBASEAPI BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value,
                                                  LPCSTR fileName);
// The emulated Windows directory; the length copied, or the size needed with the terminator.
WINBASEAPI UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size);

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

// Enumeration of a module's resources, in directory order. Types and names reach the
// callback as MAKEINTRESOURCE values or as names in the ANSI code page. A callback that
// returns FALSE stops it: the call then fails with ERROR_RESOURCE_ENUM_USER_STOP.
typedef BOOL(CALLBACK* ENUMRESTYPEPROCA)(HMODULE module, LPSTR type, LONG_PTR param);
typedef BOOL(CALLBACK* ENUMRESNAMEPROCA)(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR param);
typedef BOOL(CALLBACK* ENUMRESLANGPROCA)(HMODULE module, LPCSTR type, LPCSTR name, WORD language,
                                         LONG_PTR param);
WINBASEAPI BOOL WINAPI EnumResourceTypesA(HMODULE module, ENUMRESTYPEPROCA callback, LONG_PTR param);
WINBASEAPI BOOL WINAPI EnumResourceNamesA(HMODULE module, LPCSTR type, ENUMRESNAMEPROCA callback,
                                          LONG_PTR param);
WINBASEAPI BOOL WINAPI EnumResourceLanguagesA(HMODULE module, LPCSTR type, LPCSTR name,
                                              ENUMRESLANGPROCA callback, LONG_PTR param);

// Starts the program of a command line (split as the platform splits one, the program
// found through PATH when the name has no folder), without a shell. Returns 33 when it was
// started; otherwise ERROR_FILE_NOT_FOUND (2), ERROR_PATH_NOT_FOUND (3),
// ERROR_ACCESS_DENIED (5), ERROR_BAD_FORMAT (11), or 0 when resources ran out. Started
// programs are reaped when they end. The show command is accepted and has no effect.
WINBASEAPI UINT WINAPI WinExec(LPCSTR commandLine, UINT showCommand);

}  // extern "C"
