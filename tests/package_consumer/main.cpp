// Links the installed library and checks one message end to end.
#include <NavoTools.h>

#include <cstdio>

int main() {
    CString message = GetErrorMessageWithDetails("Copy failed", 2);
    if (message.Find("Details: [0x00000002] ") < 0) {
        fprintf(stderr, "unexpected message: %s\n", static_cast<LPCSTR>(message));
        return 1;
    }
    printf("installed package works: %d bytes of message\n", message.GetLength());
    return 0;
}
