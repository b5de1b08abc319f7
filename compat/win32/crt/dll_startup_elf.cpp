// Loader glue of an ELF shared object that behaves as a DLL.
//
// On the platform the loader calls the run-time library's entry, which runs the raw attach
// hook (through the `_pRawDllMain` pointer, when the module defines one), the run-time
// initialization and then `DllMain`, and on detach the same routines in reverse. Here an
// ELF constructor and destructor stand in for the loader's notifications. Every symbol is
// hidden, so that each module that links this file reaches its own DllMain and hook.
//
// The ELF loader runs the object's static initializers itself, so the run-time step below
// has nothing left to do; modules built this way keep no static objects whose
// construction depends on the order. Linux has no per-thread notification of shared
// objects, so thread attach and detach are not delivered.
#include <windows.h>

#include "navo_module.h"

#define NAVO_HIDDEN __attribute__((visibility("hidden")))

extern "C" {
NAVO_HIDDEN BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
NAVO_HIDDEN extern BOOL(WINAPI* const _pRawDllMain)(HINSTANCE, DWORD, LPVOID) __attribute__((weak));
NAVO_HIDDEN extern const unsigned char __navo_rsrc_begin[] __attribute__((weak));
NAVO_HIDDEN extern const unsigned char __navo_rsrc_end[] __attribute__((weak));
}

namespace {

HMODULE g_module;
bool g_attached;

BOOL WINAPI RuntimeInit(HINSTANCE, DWORD, LPVOID) { return TRUE; }

BOOL WINAPI DllEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    auto raw = &_pRawDllMain ? _pRawDllMain : nullptr;
    if (reason == DLL_PROCESS_ATTACH || reason == DLL_THREAD_ATTACH) {
        if (raw && !raw(instance, reason, reserved)) return FALSE;
        if (!RuntimeInit(instance, reason, reserved)) return FALSE;
    }
    BOOL result = DllMain(instance, reason, reserved);
    if (reason == DLL_PROCESS_ATTACH && !result) {
        RuntimeInit(instance, DLL_PROCESS_DETACH, reserved);
        return FALSE;
    }
    if (reason == DLL_PROCESS_DETACH || reason == DLL_THREAD_DETACH) {
        RuntimeInit(instance, reason, reserved);
        if (raw) raw(instance, reason, reserved);
    }
    return result;
}

// Runs before the object's other initializers, as the loader's attach notification does.
__attribute__((constructor(101))) void OnLoad() {
    const unsigned char* begin = &__navo_rsrc_begin ? __navo_rsrc_begin : nullptr;
    const unsigned char* end = &__navo_rsrc_end ? __navo_rsrc_end : nullptr;
    SIZE_T size = (begin && end && end > begin) ? SIZE_T(end - begin) : 0;
    g_module = NavoRegisterElfModule(reinterpret_cast<const void*>(&OnLoad), size ? begin : nullptr, size);
    if (!g_module) return;
    g_attached = DllEntry(g_module, DLL_PROCESS_ATTACH, nullptr) != FALSE;
    if (!g_attached) NavoSetModuleInitFailed(g_module);
}

__attribute__((destructor(101))) void OnUnload() {
    if (!g_module) return;
    if (g_attached) DllEntry(g_module, DLL_PROCESS_DETACH, nullptr);
    g_attached = false;
    NavoUnregisterElfModule(g_module);
    g_module = nullptr;
}

}  // namespace
