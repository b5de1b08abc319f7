// VerInfo and CVersion: a file's version from its version resource.

#include <climits>
#include <cstdlib>

#include "NavoTools/Version.h"

VerInfo::VerInfo(unsigned int major, unsigned int minor, unsigned int revision)
    : nMajor(major), nMinor(minor), nRevision(revision) {}

VerInfo& VerInfo::operator=(const VerInfo& other) = default;

int VerInfo::operator<(const VerInfo& other) const {
    if (nMajor != other.nMajor) return nMajor < other.nMajor;
    if (nMinor != other.nMinor) return nMinor < other.nMinor;
    return nRevision < other.nRevision;
}

CVersion::CVersion(CString fileName) : m_nRevision(0), m_nMinor(0), m_nMajor(0) { GetVersionInfo(fileName); }

CVersion::CVersion(const CVersion& other) = default;

CVersion& CVersion::operator=(const CVersion& other) = default;

CVersion::~CVersion() = default;

namespace {

// The file an empty name stands for: the application's executable by the name MFC keeps
// for it, which the module search answers with the running program. A process without
// an application object has no such name; its own executable is the sensible reading.
CString DefaultFileName() {
    CWinApp* app = AfxGetModuleState()->m_pCurrentWinApp;
    CString name;
    if (app && app->m_pszExeName && *app->m_pszExeName) {
        name.Format("%s.exe", app->m_pszExeName);
        return name;
    }
    char path[PATH_MAX];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n > 0 && n < sizeof path) name = path;
    return name;
}

}  // namespace

void CVersion::GetVersionInfo(CString fileName) {
    if (fileName.IsEmpty()) fileName = DefaultFileName();
    if (fileName.IsEmpty()) return;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(fileName, &handle);
    if (size == 0) return;
    void* block = malloc(size);
    if (!block) return;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    // A root value too short for the record, or without its signature, is no version.
    if (GetFileVersionInfoA(fileName, handle, size, block) &&
        VerQueryValueA(block, "\\", reinterpret_cast<LPVOID*>(&fixed), &length) && fixed &&
        length >= sizeof(VS_FIXEDFILEINFO) && fixed->dwSignature == VS_FFI_SIGNATURE) {
        m_nMajor = HIWORD(fixed->dwFileVersionMS);
        m_nMinor = LOWORD(fixed->dwFileVersionMS);
        m_nRevision = LOWORD(fixed->dwFileVersionLS);
    }
    free(block);
}

LONG CVersion::GetVersion() const {
    // Unsigned arithmetic wraps; the bit pattern is the result.
    const DWORD value = DWORD(m_nMajor) * 1000u + DWORD(m_nMinor) * 100u + DWORD(m_nRevision);
    return LONG(value);
}

CString CVersion::GetStrVer() const {
    CString text;
    text.Format("%u.%02u.%02u", m_nMajor, m_nMinor, m_nRevision);
    return text;
}

VerInfo CVersion::GetVerInfo() const { return VerInfo(m_nMajor, m_nMinor, m_nRevision); }

unsigned int CVersion::GetMajor() const { return m_nMajor; }
unsigned int CVersion::GetMinor() const { return m_nMinor; }
unsigned int CVersion::GetRevision() const { return m_nRevision; }
