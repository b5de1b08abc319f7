// CWinOSVersion: the running Windows release and the tests that classify it.

#include <cstring>

#include "NavoTools/Version.h"

static_assert(sizeof(CWinOSVersion) == sizeof(OSVERSIONINFOA), "the object is its record and nothing else");

namespace {

bool Is(const OSVERSIONINFOA& v, DWORD platform, DWORD major, DWORD minor) {
    return v.dwPlatformId == platform && v.dwMajorVersion == major && v.dwMinorVersion == minor;
}

}  // namespace

CWinOSVersion::CWinOSVersion() {
    memset(&m_osvi, 0, sizeof m_osvi);
    // A failed query leaves the zeros, which every test reads as "no".
    GetOSVer();
}

CWinOSVersion::CWinOSVersion(const OSVERSIONINFOA& record) { memcpy(&m_osvi, &record, sizeof m_osvi); }

CWinOSVersion::CWinOSVersion(const CWinOSVersion& other) { memcpy(&m_osvi, &other.m_osvi, sizeof m_osvi); }

CWinOSVersion::~CWinOSVersion() = default;

CWinOSVersion& CWinOSVersion::operator=(const CWinOSVersion& other) {
    if (&other != this) memcpy(&m_osvi, &other.m_osvi, sizeof m_osvi);
    return *this;
}

const OSVERSIONINFOA& CWinOSVersion::GetVerInfo() const { return m_osvi; }

int CWinOSVersion::GetOSVer() {
    m_osvi.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    return GetVersionExA(&m_osvi);
}

int CWinOSVersion::IsWin9x() const { return m_osvi.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS; }

int CWinOSVersion::IsWin95() const { return Is(m_osvi, VER_PLATFORM_WIN32_WINDOWS, 4, 0); }

int CWinOSVersion::IsWin98() const { return Is(m_osvi, VER_PLATFORM_WIN32_WINDOWS, 4, 10); }

int CWinOSVersion::IsWin98SE() const {
    // The Second Edition reports " A " as its service-pack text.
    return IsWin98() && m_osvi.szCSDVersion[1] == 'A';
}

int CWinOSVersion::IsWinMe() const { return Is(m_osvi, VER_PLATFORM_WIN32_WINDOWS, 4, 90); }

int CWinOSVersion::IsWin98OrHigher() const {
    // Major and minor are each tested on their own, not as one version number.
    return m_osvi.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && m_osvi.dwMajorVersion >= 4 &&
           m_osvi.dwMinorVersion >= 10;
}

int CWinOSVersion::IsWinNT() const { return m_osvi.dwPlatformId == VER_PLATFORM_WIN32_NT; }

int CWinOSVersion::IsWinNT4() const { return Is(m_osvi, VER_PLATFORM_WIN32_NT, 4, 0); }

int CWinOSVersion::IsWin2000() const { return Is(m_osvi, VER_PLATFORM_WIN32_NT, 5, 0); }

int CWinOSVersion::IsWinXP() const { return Is(m_osvi, VER_PLATFORM_WIN32_NT, 5, 1); }

int CWinOSVersion::IsWinNT4OrHigher() const {
    return m_osvi.dwPlatformId == VER_PLATFORM_WIN32_NT && m_osvi.dwMajorVersion >= 4;
}

int CWinOSVersion::IsWin2000OrHigher() const {
    return m_osvi.dwPlatformId == VER_PLATFORM_WIN32_NT && m_osvi.dwMajorVersion >= 5;
}
