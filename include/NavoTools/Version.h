// Version information: a file's version and the running Windows release.
#pragma once

#include <afxwin.h>

#include "NavoTools/Export.h"

// --- A file's version --------------------------------------------------------------------

// Three numbers of a version: major, minor and revision, in that order.
struct NAVOTOOLS_API VerInfo {
    VerInfo(unsigned int major = 0, unsigned int minor = 0, unsigned int revision = 0);
    VerInfo& operator=(const VerInfo& other);
    // Nonzero when this version is older: compares major, then minor, then revision.
    int operator<(const VerInfo& other) const;

    unsigned int nMajor;
    unsigned int nMinor;
    unsigned int nRevision;
};

// The file version of a file's version resource, kept as three numbers: the first (major),
// the second (minor) and the fourth (revision) of its four. A read that fails for any
// reason (no file, no version resource, no memory) reports nothing and leaves the numbers
// as they were, 0 for a new object.
class NAVOTOOLS_API CVersion {
public:
    // Sets the numbers to 0, then reads `fileName` with GetVersionInfo.
    CVersion(CString fileName = CString());
    CVersion(const CVersion& other);
    CVersion& operator=(const CVersion& other);
    virtual ~CVersion();

    // Reads the file's version into the object. An empty name means "<m_pszExeName>.exe"
    // of the current application object, which the module search resolves to the running
    // executable; without an application object it means the running executable's own
    // file. Any other name goes to GetFileVersionInfoSizeA unchanged.
    void GetVersionInfo(CString fileName);

    // major * 1000 + minor * 100 + revision, in 32-bit arithmetic that wraps; the places
    // overlap (1.10 and 2.0 both give 2000).
    LONG GetVersion() const;
    // "major.minor.revision" with minor and revision of at least two digits: "1.02.04".
    CString GetStrVer() const;
    VerInfo GetVerInfo() const;
    unsigned int GetMajor() const;
    unsigned int GetMinor() const;
    unsigned int GetRevision() const;

private:
    unsigned int m_nRevision;
    unsigned int m_nMinor;
    unsigned int m_nMajor;
};

// --- The running Windows release -------------------------------------------------------

// The operating-system version, asked of the platform once at construction, and tests that
// classify it. The tests look at the platform identifier and the major and minor numbers
// only (IsWin98SE also at the service-pack text); each gives 1 when it holds, else 0. The
// object is its OSVERSIONINFOA record and nothing else.
class NAVOTOOLS_API CWinOSVersion {
public:
    // Zeroes the record and fills it with GetVersionExA; when that fails, the record stays
    // zero but for its size and every test gives 0.
    CWinOSVersion();
    // Holds a copy of the given record, as if the platform had answered with it.
    explicit CWinOSVersion(const OSVERSIONINFOA& record);
    CWinOSVersion(const CWinOSVersion& other);
    ~CWinOSVersion();
    CWinOSVersion& operator=(const CWinOSVersion& other);

    // The held record, for the build number and the service-pack text.
    const OSVERSIONINFOA& GetVerInfo() const;

    // Windows 95 family (platform 1): any release; 95 (4.0); 98 (4.10, also the Second
    // Edition); 98 Second Edition (4.10 with 'A' as the service-pack text's second
    // character); Me (4.90); major 4 or more and, separately, minor 10 or more.
    int IsWin9x() const;
    int IsWin95() const;
    int IsWin98() const;
    int IsWin98SE() const;
    int IsWinMe() const;
    int IsWin98OrHigher() const;

    // NT family (platform 2): any release; NT 4 (4.0); 2000 (5.0); XP (5.1); major 4 or more;
    // major 5 or more.
    int IsWinNT() const;
    int IsWinNT4() const;
    int IsWin2000() const;
    int IsWinXP() const;
    int IsWinNT4OrHigher() const;
    int IsWin2000OrHigher() const;

protected:
    // Sets the size field to 148 and refills the record with GetVersionExA; returns its result.
    int GetOSVer();

private:
    OSVERSIONINFOA m_osvi;
};
