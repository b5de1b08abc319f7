// Entry point of a mingw-w64 DLL that has a raw attach hook.
//
// The platform's C run-time calls `_pRawDllMain` (when the module defines one) around its
// own initialization and DllMain: first on attach, last on detach. The mingw-w64 run-time
// has no such pointer; its entry, DllMainCRTStartup, runs the static initializers and then
// DllMain. The module's entry is therefore this routine (set with the linker's -e option),
// which calls the hook and hands over to the mingw entry in the platform's order.
#include <windows.h>

extern "C" {
// Defined by the module; null or absent when it has no hook.
extern BOOL(WINAPI* const _pRawDllMain)(HINSTANCE, DWORD, LPVOID) __attribute__((weak));
// The mingw-w64 run-time's DLL entry (dllcrt2.o).
BOOL WINAPI DllMainCRTStartup(HANDLE instance, DWORD reason, LPVOID reserved);

// An undecorated name on both x86 and x64, so one linker option names it.
BOOL WINAPI NavoDllStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) __asm__("navo_dll_startup");
BOOL WINAPI NavoDllStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    auto raw = &_pRawDllMain ? _pRawDllMain : nullptr;
    if (raw && (reason == DLL_PROCESS_ATTACH || reason == DLL_THREAD_ATTACH)) {
        if (!raw(instance, reason, reserved)) return FALSE;
    }
    BOOL result = DllMainCRTStartup(instance, reason, reserved);
    if (raw && (reason == DLL_PROCESS_DETACH || reason == DLL_THREAD_DETACH)) raw(instance, reason, reserved);
    // An attach refused by DllMain has already been undone by the run-time; the hook hears
    // of it as a detach, as it would from the platform's run-time.
    if (raw && reason == DLL_PROCESS_ATTACH && !result) raw(instance, DLL_PROCESS_DETACH, reserved);
    return result;
}
}  // extern "C"
