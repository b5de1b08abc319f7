// Links the installed library, checks one message end to end, and reads the version block
// the package's resource helper embedded in this executable.
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
    printf("installed package works: %d bytes of message, own version %s\n", message.GetLength(),
           static_cast<LPCSTR>(version.GetStrVer()));
    return 0;
}
