// Version resources: the fixed file information and the version functions.
#pragma once

#include "winnt.h"

#define VS_FILE_INFO RT_VERSION
#define VS_VERSION_INFO 1
#define VS_USER_DEFINED 100

// The signature and structure version of a VS_FIXEDFILEINFO record.
#define VS_FFI_SIGNATURE 0xFEEF04BDL
#define VS_FFI_STRUCVERSION 0x00010000L
#define VS_FFI_FILEFLAGSMASK 0x0000003FL

// dwFileFlags
#define VS_FF_DEBUG 0x00000001L
#define VS_FF_PRERELEASE 0x00000002L
#define VS_FF_PATCHED 0x00000004L
#define VS_FF_PRIVATEBUILD 0x00000008L
#define VS_FF_INFOINFERRED 0x00000010L
#define VS_FF_SPECIALBUILD 0x00000020L

// dwFileOS
#define VOS_UNKNOWN 0x00000000L
#define VOS_DOS 0x00010000L
#define VOS_OS216 0x00020000L
#define VOS_OS232 0x00030000L
#define VOS_NT 0x00040000L
#define VOS__BASE 0x00000000L
#define VOS__WINDOWS16 0x00000001L
#define VOS__PM16 0x00000002L
#define VOS__PM32 0x00000003L
#define VOS__WINDOWS32 0x00000004L
#define VOS_DOS_WINDOWS16 0x00010001L
#define VOS_DOS_WINDOWS32 0x00010004L
#define VOS_NT_WINDOWS32 0x00040004L

// dwFileType
#define VFT_UNKNOWN 0x00000000L
#define VFT_APP 0x00000001L
#define VFT_DLL 0x00000002L
#define VFT_DRV 0x00000003L
#define VFT_FONT 0x00000004L
#define VFT_VXD 0x00000005L
#define VFT_STATIC_LIB 0x00000007L

// The root value of a version block.
typedef struct tagVS_FIXEDFILEINFO {
    DWORD dwSignature;         // 0: VS_FFI_SIGNATURE
    DWORD dwStrucVersion;      // 4
    DWORD dwFileVersionMS;     // 8: first number in the high word, second in the low
    DWORD dwFileVersionLS;     // 12: third number in the high word, fourth in the low
    DWORD dwProductVersionMS;  // 16
    DWORD dwProductVersionLS;  // 20
    DWORD dwFileFlagsMask;     // 24
    DWORD dwFileFlags;         // 28: VS_FF_*
    DWORD dwFileOS;            // 32: VOS_*
    DWORD dwFileType;          // 36: VFT_*
    DWORD dwFileSubtype;       // 40
    DWORD dwFileDateMS;        // 44
    DWORD dwFileDateLS;        // 48
} VS_FIXEDFILEINFO;

static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "VS_FIXEDFILEINFO has its Win32 layout");

extern "C" {

// The size of the block GetFileVersionInfoA fills for `fileName`: the file's version
// resource and room for the ANSI copies of its texts. `handle`, when given, is set to 0.
// A name with a folder is opened as given; a bare name is a loaded module's name or is
// looked for as LoadLibraryA does. Reads PE32 and PE32+ files and ELF modules with a
// ".rsrc" resource image. 0 on failure with ERROR_FILE_NOT_FOUND (or _PATH_NOT_FOUND,
// ERROR_ACCESS_DENIED) for a file that cannot be opened, ERROR_RESOURCE_DATA_NOT_FOUND
// for a file without resources, ERROR_RESOURCE_TYPE_NOT_FOUND or _NAME_NOT_FOUND for
// one without a version resource, ERROR_INVALID_DATA for a malformed version block.
WINBASEAPI DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle);

// Fills `data` with the block whose size GetFileVersionInfoSizeA reported. `handle` is
// ignored. FALSE with ERROR_INSUFFICIENT_BUFFER, writing nothing, when `size` is smaller
// than that block (the platform would cut the block short); ERROR_INVALID_DATA for a
// null `data`; otherwise the errors of GetFileVersionInfoSizeA.
WINBASEAPI BOOL WINAPI GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD size, LPVOID data);

// Finds a value in a block filled by GetFileVersionInfoA: "\" (or "" or null) gives the
// VS_FIXEDFILEINFO, "\VarFileInfo\Translation" the language and code-page pairs,
// "\StringFileInfo\<language><code page, 8 hex digits>\<name>" a text, as an ANSI copy
// kept inside the block (the length counts its terminating zero). Keys compare
// case-insensitively; repeated backslashes are skipped; a block's own name gives its
// value, often empty. The pointer stays valid as long as the block. On failure FALSE
// with ERROR_RESOURCE_TYPE_NOT_FOUND, *length 0 and *value unchanged.
WINBASEAPI BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* value, PUINT length);

}  // extern "C"
