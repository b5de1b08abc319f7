// A Simple MAPI provider that lacks MAPIFreeBuffer, for the test that no call goes
// through a missing function.
#include <windows.h>

#include <mapi.h>

// Exported by name: dllexport for a PE DLL, default visibility for an ELF object.
#if defined(_WIN32)
#define PROVIDER_EXPORT extern "C" __declspec(dllexport)
#else
#define PROVIDER_EXPORT extern "C" __attribute__((visibility("default")))
#endif

PROVIDER_EXPORT ULONG WINAPI MAPILogon(ULONG_PTR, LPSTR, LPSTR, FLAGS, ULONG, LPLHANDLE) { return 0; }
PROVIDER_EXPORT ULONG WINAPI MAPIResolveName(LHANDLE, ULONG_PTR, LPSTR, FLAGS, ULONG, lpMapiRecipDesc*) { return 0; }
PROVIDER_EXPORT ULONG WINAPI MAPISendMail(LHANDLE, ULONG_PTR, lpMapiMessage, FLAGS, ULONG) { return 0; }
PROVIDER_EXPORT ULONG WINAPI MAPILogoff(LHANDLE, ULONG_PTR, FLAGS, ULONG) { return 0; }
