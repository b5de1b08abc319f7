// The routines behind the library's entry point, reachable for the conformance tests that
// drive them with every reason code. Not part of the documented interface.
#pragma once

#include <afxdllx.h>

#include "NavoTools/Export.h"

struct NavoToolsEntryRoutines {
    BOOL(WINAPI* rawAttachHook)(HINSTANCE, DWORD, LPVOID);
    BOOL(WINAPI* dllMain)(HINSTANCE, DWORD, LPVOID);
    AFX_EXTENSION_MODULE* extensionModule;
};

extern "C" NAVOTOOLS_API const NavoToolsEntryRoutines* WINAPI NavoToolsGetEntryRoutines();
