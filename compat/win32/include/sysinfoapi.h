// System information: the version of the running Windows release.
#pragma once

#include "windef.h"

#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

#define VER_NT_WORKSTATION 0x0000001
#define VER_NT_DOMAIN_CONTROLLER 0x0000002
#define VER_NT_SERVER 0x0000003

typedef struct _OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;  // 0: 148 or 156, set by the caller
    DWORD dwMajorVersion;       // 4
    DWORD dwMinorVersion;       // 8
    DWORD dwBuildNumber;        // 12
    DWORD dwPlatformId;         // 16: VER_PLATFORM_*
    CHAR szCSDVersion[128];     // 20: service-pack text, NUL-terminated
} OSVERSIONINFOA, *POSVERSIONINFOA, *LPOSVERSIONINFOA;

typedef struct _OSVERSIONINFOEXA {
    DWORD dwOSVersionInfoSize;  // 0
    DWORD dwMajorVersion;       // 4
    DWORD dwMinorVersion;       // 8
    DWORD dwBuildNumber;        // 12
    DWORD dwPlatformId;         // 16
    CHAR szCSDVersion[128];     // 20
    WORD wServicePackMajor;     // 148
    WORD wServicePackMinor;     // 150
    WORD wSuiteMask;            // 152
    BYTE wProductType;          // 154: VER_NT_*
    BYTE wReserved;             // 155
} OSVERSIONINFOEXA, *POSVERSIONINFOEXA, *LPOSVERSIONINFOEXA;

static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA has the platform's size");
static_assert(sizeof(OSVERSIONINFOEXA) == 156, "OSVERSIONINFOEXA has the platform's size");

typedef OSVERSIONINFOA OSVERSIONINFO;
typedef OSVERSIONINFOEXA OSVERSIONINFOEX;

extern "C" {

// Fills an OSVERSIONINFOA or OSVERSIONINFOEXA (told apart by dwOSVersionInfoSize) with the
// version of the emulated Windows release. Any other size: FALSE, ERROR_INSUFFICIENT_BUFFER.
//
// On Linux the release is Windows 10 (10.0, build 19045, NT platform) unless the emulated
// system state says otherwise: the variable NAVOTOOLS_OSVERSION
// ("major.minor.build[.platform]") or else the file "osversion" of the state directory
// ($NAVOTOOLS_HOME, by default $XDG_CONFIG_HOME/navotools or ~/.config/navotools), with
// "key=value" lines for major, minor, build, platform, csd, spmajor and spminor. A
// malformed variable or file is ignored as a whole.
WINBASEAPI BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info);

// The same release packed as the platform does: major version in the low byte, minor in
// the next; the high word holds the low 16 bits of the build number on the NT platform,
// and 0xC000 (Windows 95 family) or 0x8000 (Win32s) otherwise.
WINBASEAPI DWORD WINAPI GetVersion();

}  // extern "C"
