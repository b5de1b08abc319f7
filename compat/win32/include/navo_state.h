// Project extension: where the emulated system keeps its state on Linux, for the
// project's providers and tools.
#pragma once

#include "windef.h"

extern "C" {

// Copies the state directory ($NAVOTOOLS_HOME, else $XDG_CONFIG_HOME/navotools, else
// ~/.config/navotools) into buffer, creating it (mode 0700) when `create` is set. Returns
// the length copied; the size needed with the terminator when the buffer is too small;
// 0 with ERROR_PATH_NOT_FOUND when there is none or it cannot be made.
WINBASEAPI DWORD WINAPI NavoGetStateDirectoryA(LPSTR buffer, DWORD size, BOOL create);

}  // extern "C"
