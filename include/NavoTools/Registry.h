// Registry access: a key location whose every operation opens the key, does one thing and
// closes it again.
#pragma once

#include <afxwin.h>

#include "NavoTools/Export.h"

// Names one registry key by a root (a predefined root such as HKEY_CURRENT_USER, or a
// handle the caller keeps open and valid) and a sub-key path below it; an empty path names
// the root itself. Holds no open key between calls. Every operation returns the Win32
// code of the platform call that decided it: ERROR_SUCCESS, or the platform's error.
//
// Reads convert between the two supported types: a REG_DWORD reads as signed decimal
// text, a REG_SZ as a number (strtoul, base 10). A value of any other type makes both
// reads raise CNotSupportedException, after the key is closed. Writes create missing keys
// as volatile keys (REG_OPTION_VOLATILE): a key a write has to create lasts until the
// system restarts; a key that exists keeps its kind.
class NAVOTOOLS_API CWinRegistry {
public:
    CWinRegistry(HKEY hRootKey, CString strSubKey);
    CWinRegistry(const CWinRegistry& other);
    CWinRegistry& operator=(const CWinRegistry& other);
    virtual ~CWinRegistry();

    // Sets both fields; touches no registry.
    void SetLocation(HKEY hRootKey, CString strSubKey);

    // Opens the key for reading (KEY_READ) and closes it: 0 when it exists and may be read.
    LONG TestOpenKey();

    // The number of sub-keys; the count is 0 whenever the key cannot be opened. The key is
    // opened with KEY_ALL_ACCESS, so a read-only key gives ERROR_ACCESS_DENIED.
    LONG GetSubKeyCount(DWORD& dwCount);

    // The name of the sub-key at an index of the sorted list (from 0); the name is empty on
    // any failure, ERROR_NO_MORE_ITEMS past the last. Opens with KEY_ALL_ACCESS.
    LONG GetSubKeyName(LONG lIndex, CString& strName);

    // Removes the key with all its values and every key below it (SHDeleteKeyA). An empty
    // path on a predefined root would remove a whole hive: it is refused with
    // ERROR_INVALID_PARAMETER and nothing is removed.
    LONG DeleteKey();

    // A REG_SZ up to 1,024 bytes (up to its first NUL), or a REG_DWORD as "%d" text.
    // The text is left as it was when the value is missing; ERROR_MORE_DATA for a longer
    // string, when the text is not to be used.
    LONG GetStrValue(CString strValueName, CString& strValue);

    // A REG_DWORD, or a REG_SZ up to 512 bytes through strtoul (trailing text ignored,
    // "-1" gives 4294967295). The number is left as it was on any failure.
    LONG GetNumValue(CString strValueName, unsigned int& nValue);

    // Stores a REG_DWORD, creating missing keys of the path as volatile keys (KEY_WRITE).
    LONG SetNumValue(CString strValueName, unsigned int nValue);

    // Stores the text's bytes with the registry type given (unchecked), creating missing
    // keys of the path as volatile keys (KEY_WRITE). The size passed leaves out the
    // terminating NUL; for the string types RegSetValueExA counts it in, so the value is
    // stored terminated.
    LONG SetStrValue(CString strValueName, CString strValue, unsigned int nType);

    // Removes one value (KEY_WRITE); ERROR_FILE_NOT_FOUND when it does not exist.
    LONG DeleteValue(CString strValueName);

private:
    HKEY m_hRootKey;
    CString m_strSubKey;
};
