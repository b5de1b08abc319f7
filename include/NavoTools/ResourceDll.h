// Per-language resource modules.
#pragma once

#include <afxwin.h>

#include "NavoTools/Export.h"

// Loads the user-interface resources of an application from a per-language DLL and makes
// it the module state's resource handle.
//
// The DLL's name is a pattern with one "%s", which receives "Fra" (locale 1036), "Kor"
// (1042) or "Eng" (any other locale, other French ones included): "App%s.dll" gives
// AppFra.dll, AppKor.dll or AppEng.dll. When that file cannot be loaded the fallback name
// is loaded instead; when that fails too, a stop-icon message box names the fallback.
// A pattern with anything but that one "%s" (and "%%" for a percent sign) is refused
// without a load, as if its file were missing.
class NAVOTOOLS_API CResourceDllLoader {
public:
    // A null or empty fallback means there is none: no second attempt, no message.
    CResourceDllLoader(CString pattern, const char* fallback);
    // A copy takes its own reference to the same DLL, so each loader releases only its own.
    CResourceDllLoader(const CResourceDllLoader& other);
    // Releases what this loader held (as the destructor does), then copies other.
    CResourceDllLoader& operator=(const CResourceDllLoader& other);
    // Restores the resource handle saved by SwitchResources, then releases the DLL.
    virtual ~CResourceDllLoader();

    // Installs the DLL as the module state's resource handle; 0 (nothing changed) when no
    // DLL is loaded. The handle in force before the first switch is the one the
    // destructor restores; switching again keeps it.
    int SwitchResources();

    HINSTANCE GetResourceDLLModule() const;
    // The name the DLL was loaded by, exactly as given to LoadLibraryA; empty when none.
    CString GetResourceDLLName() const;

private:
    int LoadResourceDLL(CString pattern, CString fallback);
    void Release();
    void CopyFrom(const CResourceDllLoader& other);

    CString m_strDLLName;
    HINSTANCE m_hResourceDLL;
    HINSTANCE m_hPrevResource;
};
