// A Simple MAPI provider that lacks MAPIFreeBuffer, for the test that no call goes
// through a missing function.
#include <windows.h>

#include <mapi.h>

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT ULONG WINAPI MAPILogon(ULONG_PTR, LPSTR, LPSTR, FLAGS, ULONG, LPLHANDLE) { return 0; }
EXPORT ULONG WINAPI MAPIResolveName(LHANDLE, ULONG_PTR, LPSTR, FLAGS, ULONG, lpMapiRecipDesc*) { return 0; }
EXPORT ULONG WINAPI MAPISendMail(LHANDLE, ULONG_PTR, lpMapiMessage, FLAGS, ULONG) { return 0; }
EXPORT ULONG WINAPI MAPILogoff(LHANDLE, ULONG_PTR, FLAGS, ULONG) { return 0; }
