// The library's entry: registration with the framework as an extension module and the
// link into the application's resource chain, so that string loading by ID finds the
// library's own string table.
#include <afxdllx.h>

#include <new>

#include "frame/entry_routines.h"

namespace {

// Filled and used only by the framework's extension-module functions.
AFX_EXTENSION_MODULE g_extensionModule = {};

// Runs before static initialization on process attach: saves the module state's class
// and factory list heads and starts empty lists, so that what static initialization
// registers can be told apart as this module's own (AfxInitExtensionModule restores them).
BOOL WINAPI RawAttachHook(HINSTANCE, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    AFX_MODULE_STATE* state = AfxGetModuleState();
    state->m_pClassInit = state->m_classList;
    state->m_pFactoryInit = state->m_factoryList;
    state->m_classList = nullptr;
    state->m_factoryList = nullptr;
    return TRUE;
}

}  // namespace

extern "C" {

// The run-time's entry reaches the hook through this pointer.
NAVOTOOLS_MODULE_LOCAL extern BOOL(WINAPI* const _pRawDllMain)(HINSTANCE, DWORD, LPVOID) =
    &RawAttachHook;

NAVOTOOLS_MODULE_LOCAL BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            if (!AfxInitExtensionModule(g_extensionModule, instance)) return 0;
            // The framework owns the link from here on; AfxTermExtensionModule removes it.
            new (std::nothrow) CDynLinkLibrary(g_extensionModule, FALSE);
            return 1;
        case DLL_PROCESS_DETACH:
            AfxTermExtensionModule(g_extensionModule, FALSE);
            return 1;
        default:
            return 1;
    }
}

const NavoToolsEntryRoutines* WINAPI NavoToolsGetEntryRoutines() {
    static const NavoToolsEntryRoutines routines = {&RawAttachHook, &DllMain, &g_extensionModule};
    return &routines;
}

}  // extern "C"
