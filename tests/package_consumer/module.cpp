// A module of the consumer application built as a DLL: the loader glue runs its DllMain,
// which counts the attach notifications it gets for its own handle.
#include <windows.h>

namespace {
HINSTANCE g_instance;
int g_attaches;
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        ++g_attaches;
    }
    return TRUE;
}

// How often DllMain saw the process attach, for the handle `instance`.
extern "C" __attribute__((visibility("default"))) int ConsumerModuleAttaches(HINSTANCE instance) {
    return instance == g_instance ? g_attaches : -1;
}
