// CWinRegistry: one registry key location; each operation opens the key, does one thing
// and closes it.

#include <shlwapi.h>

#include <cstring>

#include "NavoTools/Registry.h"
#include "registry/number_text.h"

namespace {

constexpr DWORD kStringBufferBytes = 1024;  // GetStrValue's REG_SZ buffer
constexpr DWORD kNumberTextBytes = 512;     // GetNumValue's REG_SZ buffer
constexpr DWORD kSubKeyNameBytes = 520;     // GetSubKeyName's buffer

// Closes the key on every way out, the not-supported exception included.
class OpenedKey {
public:
    OpenedKey() = default;
    ~OpenedKey() {
        if (m_hKey) RegCloseKey(m_hKey);
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    PHKEY Out() { return &m_hKey; }
    HKEY Get() const { return m_hKey; }

private:
    HKEY m_hKey = nullptr;
};

// The library's own test over the public handle values: it is built against the real
// windows.h as well, where the Linux layer's helper (advapi/registry.cpp) does not exist.
bool IsPredefinedRoot(HKEY hKey) {
    // HKEY_CLASSES_ROOT to HKEY_CURRENT_USER_LOCAL_SETTINGS: the platform's eight roots.
    const ULONG_PTR first = reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT);
    const ULONG_PTR value = reinterpret_cast<ULONG_PTR>(hKey);
    return value >= first && value <= first + 7;
}

// The text of a string value: up to its first NUL, or all of it without one.
CString TextOf(const char* data, DWORD size) {
    const void* nul = memchr(data, '\0', size);
    return CString(data, nul ? int(static_cast<const char*>(nul) - data) : int(size));
}

}  // namespace

CWinRegistry::CWinRegistry(HKEY hRootKey, CString strSubKey) : m_hRootKey(hRootKey), m_strSubKey(strSubKey) {}

CWinRegistry::CWinRegistry(const CWinRegistry& other) = default;

CWinRegistry& CWinRegistry::operator=(const CWinRegistry& other) = default;

CWinRegistry::~CWinRegistry() = default;

void CWinRegistry::SetLocation(HKEY hRootKey, CString strSubKey) {
    m_hRootKey = hRootKey;
    m_strSubKey = strSubKey;
}

LONG CWinRegistry::TestOpenKey() {
    OpenedKey key;
    return RegOpenKeyExA(m_hRootKey, m_strSubKey, 0, KEY_READ, key.Out());
}

LONG CWinRegistry::GetSubKeyCount(DWORD& dwCount) {
    dwCount = 0;
    OpenedKey key;
    LONG result = RegOpenKeyExA(m_hRootKey, m_strSubKey, 0, KEY_ALL_ACCESS, key.Out());
    if (result != ERROR_SUCCESS) return result;
    return RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &dwCount, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr);
}

LONG CWinRegistry::GetSubKeyName(LONG lIndex, CString& strName) {
    strName.Empty();
    OpenedKey key;
    LONG result = RegOpenKeyExA(m_hRootKey, m_strSubKey, 0, KEY_ALL_ACCESS, key.Out());
    if (result != ERROR_SUCCESS) return result;
    char buffer[kSubKeyNameBytes];
    DWORD size = kSubKeyNameBytes;
    result = RegEnumKeyExA(key.Get(), DWORD(lIndex), buffer, &size, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_SUCCESS) strName = CString(buffer, int(size));
    return result;
}

LONG CWinRegistry::DeleteKey() {
    // Only backslashes name the root as well.
    bool rootItself = true;
    for (int i = 0; i < m_strSubKey.GetLength(); ++i) rootItself = rootItself && m_strSubKey[i] == '\\';
    if (rootItself && IsPredefinedRoot(m_hRootKey)) return ERROR_INVALID_PARAMETER;
    return SHDeleteKeyA(m_hRootKey, m_strSubKey);
}

LONG CWinRegistry::GetStrValue(CString strValueName, CString& strValue) {
    OpenedKey key;
    LONG result = RegOpenKeyExA(m_hRootKey, m_strSubKey, 0, KEY_READ, key.Out());
    if (result != ERROR_SUCCESS) return result;
    DWORD type = 0;
    result = RegQueryValueExA(key.Get(), strValueName, nullptr, &type, nullptr, nullptr);
    if (result != ERROR_SUCCESS) return result;
    if (type == REG_SZ) {
        char buffer[kStringBufferBytes];
        DWORD size = kStringBufferBytes;
        result = RegQueryValueExA(key.Get(), strValueName, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
        // The value may have changed type since the first query; the data read decides.
        if (result == ERROR_SUCCESS) strValue = TextOf(buffer, size);
        return result;
    }
    if (type == REG_DWORD) {
        DWORD number = 0;
        DWORD size = sizeof number;
        result = RegQueryValueExA(key.Get(), strValueName, nullptr, &type, reinterpret_cast<LPBYTE>(&number), &size);
        if (result == ERROR_SUCCESS) strValue.Format("%d", static_cast<int>(number));
        return result;
    }
    AfxThrowNotSupportedException();  // the key closes as the exception leaves
}

LONG CWinRegistry::GetNumValue(CString strValueName, unsigned int& nValue) {
    OpenedKey key;
    LONG result = RegOpenKeyExA(m_hRootKey, m_strSubKey, 0, KEY_READ, key.Out());
    if (result != ERROR_SUCCESS) return result;
    DWORD type = 0;
    result = RegQueryValueExA(key.Get(), strValueName, nullptr, &type, nullptr, nullptr);
    if (result != ERROR_SUCCESS) return result;
    if (type == REG_SZ) {
        char buffer[kNumberTextBytes];
        DWORD size = kNumberTextBytes;
        result = RegQueryValueExA(key.Get(), strValueName, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
        if (result == ERROR_SUCCESS) nValue = navo::registry::ParseUnsigned32(TextOf(buffer, size));
        return result;
    }
    if (type == REG_DWORD) {
        DWORD number = 0;
        DWORD size = sizeof number;
        result = RegQueryValueExA(key.Get(), strValueName, nullptr, &type, reinterpret_cast<LPBYTE>(&number), &size);
        if (result == ERROR_SUCCESS) nValue = number;
        return result;
    }
    AfxThrowNotSupportedException();
}

LONG CWinRegistry::SetNumValue(CString strValueName, unsigned int nValue) {
    OpenedKey key;
    LONG result = RegCreateKeyExA(m_hRootKey, m_strSubKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr,
                                  key.Out(), nullptr);
    if (result != ERROR_SUCCESS) return result;
    // Little-endian, as the platform keeps numbers.
    const BYTE data[4] = {BYTE(nValue), BYTE(nValue >> 8), BYTE(nValue >> 16), BYTE(nValue >> 24)};
    return RegSetValueExA(key.Get(), strValueName, 0, REG_DWORD, data, sizeof data);
}

LONG CWinRegistry::SetStrValue(CString strValueName, CString strValue, unsigned int nType) {
    OpenedKey key;
    LONG result = RegCreateKeyExA(m_hRootKey, m_strSubKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr,
                                  key.Out(), nullptr);
    if (result != ERROR_SUCCESS) return result;
    // The length, not the length and the terminator.
    return RegSetValueExA(key.Get(), strValueName, 0, DWORD(nType), reinterpret_cast<const BYTE*>(strValue.GetString()),
                          DWORD(strValue.GetLength()));
}

LONG CWinRegistry::DeleteValue(CString strValueName) {
    OpenedKey key;
    LONG result = RegOpenKeyExA(m_hRootKey, m_strSubKey, 0, KEY_WRITE, key.Out());
    if (result != ERROR_SUCCESS) return result;
    return RegDeleteValueA(key.Get(), strValueName);
}
