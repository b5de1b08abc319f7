// The registry: predefined roots, access rights, value types and the key and value
// functions.
//
// On Linux the registry is a persistent store shared by every process of the user: the
// file "registry.db" of the state directory ($NAVOTOOLS_HOME, by default
// $XDG_CONFIG_HOME/navotools or ~/.config/navotools). Every successful write is in the
// store when the call returns. Key and value names compare case-insensitively and keep
// their case; sub-keys enumerate in sorted order, values in the order they were first
// set; types and data are kept exactly as given.
#pragma once

#include "winerror.h"
#include "winnt.h"

#ifndef WINADVAPI
#define WINADVAPI NAVO_WIN32_API
#endif

#ifndef _FILETIME_
#define _FILETIME_
typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;
#endif

typedef DWORD ACCESS_MASK;
typedef ACCESS_MASK REGSAM;
typedef struct _SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

// The predefined roots, sign-extended as the 64-bit platform defines them.
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))
#define HKEY_PERFORMANCE_DATA ((HKEY)(ULONG_PTR)((LONG)0x80000004))
#define HKEY_CURRENT_CONFIG ((HKEY)(ULONG_PTR)((LONG)0x80000005))
#define HKEY_DYN_DATA ((HKEY)(ULONG_PTR)((LONG)0x80000006))

// Standard and generic rights.
#define DELETE 0x00010000L
#define READ_CONTROL 0x00020000L
#define WRITE_DAC 0x00040000L
#define WRITE_OWNER 0x00080000L
#define SYNCHRONIZE 0x00100000L
#define STANDARD_RIGHTS_READ READ_CONTROL
#define STANDARD_RIGHTS_WRITE READ_CONTROL
#define STANDARD_RIGHTS_EXECUTE READ_CONTROL
#define STANDARD_RIGHTS_REQUIRED 0x000F0000L
#define STANDARD_RIGHTS_ALL 0x001F0000L
#define ACCESS_SYSTEM_SECURITY 0x01000000L
#define MAXIMUM_ALLOWED 0x02000000L
#define GENERIC_READ 0x80000000L
#define GENERIC_WRITE 0x40000000L
#define GENERIC_EXECUTE 0x20000000L
#define GENERIC_ALL 0x10000000L

// Key rights.
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define KEY_WOW64_RES 0x0300
#define KEY_READ ((STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY) & ~SYNCHRONIZE)
#define KEY_WRITE ((STANDARD_RIGHTS_WRITE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY) & ~SYNCHRONIZE)
#define KEY_EXECUTE ((KEY_READ) & ~SYNCHRONIZE)
#define KEY_ALL_ACCESS                                                                               \
    ((STANDARD_RIGHTS_ALL | KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS | \
      KEY_NOTIFY | KEY_CREATE_LINK) &                                                                \
     ~SYNCHRONIZE)

// Creation options and dispositions.
#define REG_OPTION_RESERVED 0x00000000L
#define REG_OPTION_NON_VOLATILE 0x00000000L
#define REG_OPTION_VOLATILE 0x00000001L
#define REG_OPTION_CREATE_LINK 0x00000002L
#define REG_OPTION_BACKUP_RESTORE 0x00000004L
#define REG_OPTION_OPEN_LINK 0x00000008L
#define REG_CREATED_NEW_KEY 0x00000001L
#define REG_OPENED_EXISTING_KEY 0x00000002L

// Value types. Any other DWORD is a valid type too and is stored unchanged.
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_LITTLE_ENDIAN 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7
#define REG_RESOURCE_LIST 8
#define REG_FULL_RESOURCE_DESCRIPTOR 9
#define REG_RESOURCE_REQUIREMENTS_LIST 10
#define REG_QWORD 11
#define REG_QWORD_LITTLE_ENDIAN 11

// Limits of the platform, in characters (UTF-16 code units of the name).
#define NAVO_REG_MAX_KEY_NAME 255
#define NAVO_REG_MAX_VALUE_NAME 16383
#define NAVO_REG_MAX_DEPTH 512

extern "C" {

// Opens an existing key below hKey (a predefined root or an open handle) with the rights
// asked for. A null or empty subKey opens a new handle to hKey's key. ERROR_FILE_NOT_FOUND
// when a key of the path is missing, ERROR_ACCESS_DENIED when a write right is asked of a
// read-only key or of a store the user may not write, ERROR_INVALID_HANDLE for a closed or
// unknown hKey, ERROR_KEY_DELETED when hKey's key was deleted, ERROR_BAD_PATHNAME for a
// path that starts with or holds an empty component, ERROR_INVALID_PARAMETER for a name
// longer than 255 characters or a null result.
WINADVAPI LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR subKey, DWORD options, REGSAM samDesired,
                                       PHKEY result);

// Opens a key, creating first every missing key of the path, all with the given option
// (REG_OPTION_VOLATILE or REG_OPTION_NON_VOLATILE); keys that exist keep their kind.
// ERROR_CHILD_MUST_BE_VOLATILE when a non-volatile key would be made below a volatile one,
// ERROR_INVALID_PARAMETER beyond 512 levels of depth; nothing is created on any failure.
// The class text is kept with the keys created. No security descriptor is used.
WINADVAPI LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR subKey, DWORD reserved, LPSTR keyClass,
                                         DWORD options, REGSAM samDesired,
                                         LPSECURITY_ATTRIBUTES securityAttributes, PHKEY result,
                                         LPDWORD disposition);

// Closes a handle; closing a predefined root (HKEY_PERFORMANCE_DATA too) succeeds and
// changes nothing.
WINADVAPI LSTATUS WINAPI RegCloseKey(HKEY hKey);

// Facts about a key; any pointer may be null. Lengths are in bytes without the
// terminator, as the ANSI functions need them. Needs KEY_QUERY_VALUE.
WINADVAPI LSTATUS WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR keyClass, LPDWORD classLength,
                                          LPDWORD reserved, LPDWORD subKeys, LPDWORD maxSubKeyLength,
                                          LPDWORD maxClassLength, LPDWORD values,
                                          LPDWORD maxValueNameLength, LPDWORD maxValueLength,
                                          LPDWORD securityDescriptorBytes, PFILETIME lastWriteTime);

// The sub-key at an index of the sorted list, or ERROR_NO_MORE_ITEMS past the last.
// *nameLength is the buffer's size in bytes on entry and the name's length without the
// terminator on success; ERROR_MORE_DATA when name and terminator do not fit. Needs
// KEY_ENUMERATE_SUB_KEYS.
WINADVAPI LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD index, LPSTR name, LPDWORD nameLength,
                                       LPDWORD reserved, LPSTR keyClass, LPDWORD classLength,
                                       PFILETIME lastWriteTime);

// The value at an index, in the order values were first set: name, type and data.
// Needs KEY_QUERY_VALUE.
WINADVAPI LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD index, LPSTR valueName, LPDWORD valueNameLength,
                                       LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataLength);

// A value's type and data. A null or empty name is the key's default value. With data
// null and dataLength set, gives the size only; ERROR_MORE_DATA, with the size needed,
// when the buffer is too small. A string value stored without its terminator gets one
// in the buffer when there is room (the size reported stays the stored size).
WINADVAPI LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                                          LPBYTE data, LPDWORD dataLength);

// Stores a value, replacing any of that name (which keeps its place and its spelling).
// Needs KEY_SET_VALUE. ERROR_NOACCESS for null data with a nonzero size,
// ERROR_INVALID_PARAMETER for a name longer than 16,383 characters. For REG_SZ,
// REG_EXPAND_SZ and REG_MULTI_SZ data whose last byte is not a NUL but whose next byte
// is, that NUL is stored too (the size passed left out the terminator), as on the
// platform; the byte after the data is read for it.
WINADVAPI LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR valueName, DWORD reserved, DWORD type,
                                        const BYTE* data, DWORD dataLength);

// Removes one value. Needs KEY_SET_VALUE; ERROR_FILE_NOT_FOUND when it does not exist.
WINADVAPI LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR valueName);

// --- Project extensions ----------------------------------------------------------------

// Marks a key read-only (or writable again). A read-only key refuses every open that asks
// for a write right (KEY_SET_VALUE, KEY_CREATE_SUB_KEY, KEY_CREATE_LINK, DELETE, WRITE_DAC,
// WRITE_OWNER, and the masks that hold them: KEY_WRITE, KEY_ALL_ACCESS) with
// ERROR_ACCESS_DENIED, refuses new sub-keys, and makes a recursive delete of any key above
// it fail as a whole.
WINADVAPI LSTATUS WINAPI NavoRegSetKeyReadOnlyA(HKEY hKey, LPCSTR subKey, BOOL readOnly);

#define NAVO_REG_KEY_VOLATILE 0x1
#define NAVO_REG_KEY_READ_ONLY 0x2

// The kind of an existing key: NAVO_REG_KEY_VOLATILE and NAVO_REG_KEY_READ_ONLY flags.
WINADVAPI LSTATUS WINAPI NavoRegGetKeyFlagsA(HKEY hKey, LPCSTR subKey, LPDWORD flags);

// The text formats of regedit's files.
#define NAVO_REG_FORMAT_REGEDIT4 4  // "REGEDIT4", bytes of the ANSI code page
#define NAVO_REG_FORMAT_REGEDIT5 5  // "Windows Registry Editor Version 5.00", UTF-16LE with BOM

// Writes the key below hKey, with everything under it, to a .reg file. The key's path in
// the file starts with the root's full name, so hKey must be a predefined root.
WINADVAPI LSTATUS WINAPI NavoRegExportFileA(HKEY hKey, LPCSTR subKey, LPCSTR path, DWORD format);

// Applies a .reg file of either format (told apart by its header) in one transaction:
// the whole file or nothing. A malformed file gives ERROR_INVALID_DATA and, in message
// (when not null), the line and the reason, cut to messageSize - 1 bytes.
WINADVAPI LSTATUS WINAPI NavoRegImportFileA(LPCSTR path, LPSTR message, DWORD messageSize);

}  // extern "C"
