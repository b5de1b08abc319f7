// Shell light-weight utilities: the recursive registry delete.
#pragma once

#include "winreg.h"

#ifndef LWSTDAPI_
#define LWSTDAPI_(type) NAVO_WIN32_API type WINAPI
#endif

extern "C" {

// Removes the key below hKey with all its sub-keys and values, however deep, in one step:
// when any key of the tree is read-only, or the store may not be written, nothing is
// removed (ERROR_ACCESS_DENIED). An empty or null subKey names hKey's own key; a
// predefined root cannot be removed (ERROR_ACCESS_DENIED).
LWSTDAPI_(LSTATUS) SHDeleteKeyA(HKEY hKey, LPCSTR subKey);

}  // extern "C"
