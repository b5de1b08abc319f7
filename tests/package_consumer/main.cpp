// Links the installed library, checks one message end to end, reads the version block the
// package's resource helper embedded in this executable, and loads its own module whose
// DllMain the package's loader glue runs.
#include <NavoTools.h>

#include <cstdio>

int main() {
    CString message = GetErrorMessageWithDetails("Copy failed", 2);
    if (message.Find("Details: [0x00000002] ") < 0) {
        fprintf(stderr, "unexpected message: %s\n", static_cast<LPCSTR>(message));
        return 1;
    }
    CWinApp app;  // its m_pszExeName is "consumer"
    CVersion version;
    if (version.GetStrVer() != "6.05.43") {
        fprintf(stderr, "unexpected own version: %s\n", static_cast<LPCSTR>(version.GetStrVer()));
        return 1;
    }
    HMODULE module = LoadLibraryA(CONSUMER_MODULE);
    if (!module) {
        fprintf(stderr, "cannot load %s: error %u\n", CONSUMER_MODULE, unsigned(GetLastError()));
        return 1;
    }
    using Attaches = int (*)(HINSTANCE);
    auto attaches = reinterpret_cast<Attaches>(reinterpret_cast<void (*)()>(GetProcAddress(module, "ConsumerModuleAttaches")));
    char text[64] = {};
    LoadStringA(module, 100, text, sizeof text);
    if (!attaches || attaches(module) != 1 || CString(text) != "Consumer module") {
        fprintf(stderr, "the module's DllMain or resources did not work (attaches %d, text '%s')\n",
                attaches ? attaches(module) : -2, text);
        return 1;
    }
    FreeLibrary(module);
    printf("installed package works: %d bytes of message, own version %s, module attached once\n", message.GetLength(),
           static_cast<LPCSTR>(version.GetStrVer()));
    return 0;
}
