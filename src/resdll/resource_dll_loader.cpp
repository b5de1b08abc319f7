// CResourceDllLoader: a per-language resource DLL, switched in as the resource handle.

#include "NavoTools/ResourceDll.h"

namespace {

constexpr LCID kFrenchFrance = 1036;
constexpr LCID kKorean = 1042;

const char* LanguageCode() {
    // The whole identifier decides, not its primary language: French (Canada) reads "Eng".
    switch (GetUserDefaultLCID()) {
        case kFrenchFrance: return "Fra";
        case kKorean: return "Kor";
        default: return "Eng";
    }
}

// The pattern with `code` in place of its one "%s"; false, with nothing built, for a
// pattern with no "%s", a second one or any other conversion. The pattern never reaches
// a printf-style formatter.
bool ExpandPattern(const CString& pattern, const char* code, CString& name) {
    CString result;
    bool substituted = false;
    for (int i = 0; i < pattern.GetLength(); ++i) {
        char c = pattern[i];
        if (c != '%') {
            result += c;
            continue;
        }
        char next = i + 1 < pattern.GetLength() ? pattern[i + 1] : '\0';
        if (next == '%') {
            result += '%';
        } else if (next == 's' && !substituted) {
            result += code;
            substituted = true;
        } else {
            return false;
        }
        ++i;
    }
    if (!substituted) return false;
    name = result;
    return true;
}

}  // namespace

CResourceDllLoader::CResourceDllLoader(CString pattern, const char* fallback)
    : m_hResourceDLL(nullptr), m_hPrevResource(nullptr) {
    LoadResourceDLL(pattern, CString(fallback ? fallback : ""));
}

CResourceDllLoader::CResourceDllLoader(const CResourceDllLoader& other)
    : m_hResourceDLL(nullptr), m_hPrevResource(nullptr) {
    CopyFrom(other);
}

CResourceDllLoader& CResourceDllLoader::operator=(const CResourceDllLoader& other) {
    if (&other == this) return *this;
    Release();
    CopyFrom(other);
    return *this;
}

CResourceDllLoader::~CResourceDllLoader() { Release(); }

int CResourceDllLoader::LoadResourceDLL(CString pattern, CString fallback) {
    m_strDLLName.Empty();
    CString name;
    if (ExpandPattern(pattern, LanguageCode(), name)) m_hResourceDLL = LoadLibraryA(name);
    if (!m_hResourceDLL) {
        name = fallback;
        if (name.IsEmpty()) return 0;
        m_hResourceDLL = LoadLibraryA(name);
        if (!m_hResourceDLL) {
            CString message;
            message.Format(
                "Cannot load '%s' file.\nThis file contains application resources and should be located in the "
                "same folder where application executable module located.\n",
                static_cast<LPCSTR>(name));
            AfxMessageBox(message, MB_ICONSTOP | MB_OK, 0);
            return 0;
        }
    }
    m_strDLLName = name;
    return 1;
}

int CResourceDllLoader::SwitchResources() {
    if (!m_hResourceDLL) return 0;
    HINSTANCE current = AfxGetResourceHandle();
    // Only the first switch saves: by a second one the current handle is this DLL, which
    // must never be what the destructor puts back after releasing it.
    if (!m_hPrevResource && current != m_hResourceDLL) m_hPrevResource = current;
    AfxSetResourceHandle(m_hResourceDLL);
    return 1;
}

HINSTANCE CResourceDllLoader::GetResourceDLLModule() const { return m_hResourceDLL; }

CString CResourceDllLoader::GetResourceDLLName() const { return m_strDLLName; }

void CResourceDllLoader::Release() {
    if (!m_hResourceDLL) return;
    if (m_hPrevResource) AfxSetResourceHandle(m_hPrevResource);
    FreeLibrary(m_hResourceDLL);
    m_hResourceDLL = nullptr;
    m_hPrevResource = nullptr;
    m_strDLLName.Empty();
}

void CResourceDllLoader::CopyFrom(const CResourceDllLoader& other) {
    m_strDLLName = other.m_strDLLName;
    m_hPrevResource = other.m_hPrevResource;
    m_hResourceDLL = nullptr;
    if (!other.m_hResourceDLL) return;
    // A reference of our own to the very module the other holds: loading it again by its
    // full path finds the loaded module and counts one more use.
    char path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameA(other.m_hResourceDLL, path, sizeof path);
    if (length > 0 && length < sizeof path) m_hResourceDLL = LoadLibraryA(path);
    if (!m_hResourceDLL) {
        m_strDLLName.Empty();
        m_hPrevResource = nullptr;
    }
}
