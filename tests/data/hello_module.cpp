// A module that behaves as a DLL: the loader glue runs its DllMain, it has resources, and it
// exports functions by name. Built as the ELF object Hello.dll.so (resources embedded) on
// Linux and as the PE DLL Hello.dll on Windows; HELLO_REFUSE_ATTACH builds the variant
// whose DllMain refuses to attach.
#include <windows.h>

// Exported by name: dllexport for a PE DLL, default visibility for an ELF object.
#if defined(_WIN32)
#define MODULE_EXPORT extern "C" __declspec(dllexport)
#else
#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {
int g_attachCount = 0;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
#ifdef HELLO_REFUSE_ATTACH
    if (reason == DLL_PROCESS_ATTACH) return FALSE;
#endif
    if (reason == DLL_PROCESS_ATTACH) ++g_attachCount;
    return TRUE;
}

MODULE_EXPORT int HelloAnswer() { return 42; }

MODULE_EXPORT int HelloAttachCount() { return g_attachCount; }
