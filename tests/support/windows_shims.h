// Forced into every test source of the Windows build (-include): the few names the tests
// use that the Linux layer provides and the platform's headers do not.
#pragma once

#include <windows.h>

#include <cstdlib>

// "No work was done" (235): what FormatMessageA reports for an empty result. mingw-w64's
// winerror.h lacks the name.
#ifndef ERROR_NO_WORK_DONE
#define ERROR_NO_WORK_DONE 235L
#endif

// POSIX environment functions, as the C run-time offers them.
inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && std::getenv(name)) return 0;
    return _putenv_s(name, value) == 0 ? 0 : -1;
}
inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

// The Linux layer's FormatMessageA with an argument array of known length. Here the
// platform's FormatMessageA reads the array itself; the count is not checked, so the tests
// of the count (FormatMessageArgumentCount) are left out on Windows.
inline DWORD NavoFormatMessageArrayA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer,
                                     DWORD size, const DWORD_PTR* arguments, DWORD /*argCount*/) {
    if (arguments) flags |= FORMAT_MESSAGE_ARGUMENT_ARRAY;
    return FormatMessageA(flags, source, messageId, languageId, buffer, size,
                          reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(arguments)));
}
