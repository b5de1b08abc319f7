// Project extension: where the emulated system keeps its state on Linux, for the
// project's providers and tools.
#pragma once

#include "windef.h"

extern "C" {

// Copies the state directory ($NAVOTOOLS_HOME, else $XDG_CONFIG_HOME/navotools, else
// ~/.config/navotools) into buffer, creating it (mode 0700) when `create` is set. Returns
// the length copied; the size needed with the terminator when the buffer is too small;
// 0 with ERROR_PATH_NOT_FOUND when there is none or it cannot be made.
// A state directory that is not the user's alone (another user's, or writable by group or
// others) is refused: 0 with ERROR_ACCESS_DENIED.
WINBASEAPI DWORD WINAPI NavoGetStateDirectoryA(LPSTR buffer, DWORD size, BOOL create);

// Why the calling thread's last use of the state directory failed, as a sentence that
// names the directory ("... may be written by other users (mode 0777): refused; ..."),
// empty when it did not. Returns and copies as NavoGetStateDirectoryA does.
WINBASEAPI DWORD WINAPI NavoGetStateDirectoryProblemA(LPSTR buffer, DWORD size);

}  // extern "C"
