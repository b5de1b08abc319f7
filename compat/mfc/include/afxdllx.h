// Extension modules: registration with the framework and the link into the resource chain.
#pragma once

#include "afxwin.h"

// Per-extension-module record, zero when the module is loaded. Filled and used only by
// AfxInitExtensionModule, CDynLinkLibrary and AfxTermExtensionModule.
struct NAVO_MFC_API AFX_EXTENSION_MODULE {
    BOOL bInitialized;
    HMODULE hModule;
    HMODULE hResource;
    CRuntimeClass* pFirstSharedClass;
    COleObjectFactory* pFirstSharedFactory;
};

// A link of an extension module into the resource chain. Owned by the framework from its
// construction on; AfxTermExtensionModule removes and deletes it.
class NAVO_MFC_API CDynLinkLibrary : public CCmdTarget {
public:
    CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem = FALSE);
    CDynLinkLibrary(HINSTANCE module, HINSTANCE resource);
    ~CDynLinkLibrary() override;

    HMODULE m_hModule;
    HMODULE m_hResource;
    CRuntimeClass* m_classList;
    COleObjectFactory* m_factoryList;
    BOOL m_bSystem;
    CDynLinkLibrary* m_pNextDLL;
};

// Registers an extension module of the given handle: takes the run-time classes and
// factories registered since the raw attach hook as the module's own and restores the
// module state's list heads from the saved ones. Nonzero on success.
NAVO_MFC_API BOOL AFXAPI AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE module);
// Unlinks and deletes the module's CDynLinkLibrary objects (every extension module's when
// all is TRUE).
NAVO_MFC_API void AFXAPI AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL all = FALSE);
