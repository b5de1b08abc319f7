// An ELF module that behaves as a DLL: the loader glue runs its DllMain, its resources are
// embedded, and it exports functions by name. Built as Hello.dll.so; HELLO_REFUSE_ATTACH
// builds the variant whose DllMain refuses to attach.
#include <windows.h>

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

extern "C" __attribute__((visibility("default"))) int HelloAnswer() { return 42; }

extern "C" __attribute__((visibility("default"))) int HelloAttachCount() { return g_attachCount; }
