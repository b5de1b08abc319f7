// Application framework: the module state, the resource chain, CCmdTarget and CWinApp,
// message boxes and the wait cursor.
#pragma once

#include "afx.h"
#include "afxcoll.h"

class CWinApp;
class CDynLinkLibrary;
class COleObjectFactory;

// State shared by the application and its extension modules. Changes to the library list
// are serialized by the layer; the other fields belong to the user-interface thread.
struct NAVO_MFC_API AFX_MODULE_STATE {
    CWinApp* m_pCurrentWinApp;
    HINSTANCE m_hCurrentInstanceHandle;
    HINSTANCE m_hCurrentResourceHandle;
    LPCSTR m_lpszCurrentAppName;
    BOOL m_bSystem;

    // Run-time classes and object factories registered by the running module, and the
    // heads saved while an extension module's static initialization runs.
    CRuntimeClass* m_classList;
    COleObjectFactory* m_factoryList;
    CRuntimeClass* m_pClassInit;
    COleObjectFactory* m_pFactoryInit;

    // The resource chain: linked extension modules, most recently linked first.
    CDynLinkLibrary* m_libraryList;
};

// The module state of the running code; never null.
NAVO_MFC_API AFX_MODULE_STATE* AFXAPI AfxGetModuleState();
NAVO_MFC_API CWinApp* AFXAPI AfxGetApp();
NAVO_MFC_API HINSTANCE AFXAPI AfxGetInstanceHandle();
// The application's current resource module: searched first by every lookup by ID.
NAVO_MFC_API HINSTANCE AFXAPI AfxGetResourceHandle();
NAVO_MFC_API void AFXAPI AfxSetResourceHandle(HINSTANCE resource);

// The module that holds string `id`: the current resource module, then the modules of the
// resource chain (non-system first, most recently linked first). Null when none does.
NAVO_MFC_API HINSTANCE AFXAPI AfxFindStringResourceHandle(UINT id);
// The module whose resources hold (name, type), searched in the same order; the current
// resource module when none does.
NAVO_MFC_API HINSTANCE AFXAPI AfxFindResourceHandle(LPCSTR name, LPCSTR type);

// Serialize changes of the shared lists.
NAVO_MFC_API void AFXAPI AfxLockGlobals(int lockType);
NAVO_MFC_API void AFXAPI AfxUnlockGlobals(int lockType);
#define CRIT_DYNLINKLIST 10

// Base of classes that take commands. Wait-cursor calls reach the application's
// DoWaitCursor: 1 to begin, -1 to end, 0 to restore.
class NAVO_MFC_API CCmdTarget : public CObject {
public:
    CCmdTarget();
    ~CCmdTarget() override;
    void BeginWaitCursor();
    void EndWaitCursor();
    void RestoreWaitCursor();
};

// A window object: the HWND it wraps (null when it wraps none).
class NAVO_MFC_API CWnd : public CCmdTarget {
public:
    CWnd();
    explicit CWnd(HWND window);
    ~CWnd() override;
    HWND GetSafeHwnd() const;

    HWND m_hWnd;
};

// The application object. Constructing it makes it the module state's current
// application; at most one exists at a time.
class NAVO_MFC_API CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCSTR appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    // Shows a message box for AfxMessageBox and returns the button. The default is the
    // platform's MessageBoxA with the style unchanged and the application's name as the
    // caption, owned by the main window when there is one and task-modal otherwise (on
    // Linux, MessageBoxA of compat/win32: see docs/mfc-layer.md).
    virtual int DoMessageBox(LPCSTR prompt, UINT type, UINT promptId);
    // Counts begin (1) and end (-1) calls. While the count is positive the cursor is the
    // platform's wait cursor (IDC_WAIT); when it comes back to 0 the cursor that was current
    // at the first begin is restored. 0 shows the cursor that the count calls for again.
    virtual void DoWaitCursor(int code);

    // The application's main window; null when it has none. The application sets it.
    CWnd* m_pMainWnd;
    LPCSTR m_pszAppName;
    // The running executable's file name without folder and extension.
    LPCSTR m_pszExeName;
    HINSTANCE m_hInstance;
    int m_nWaitCursorCount;
    // The cursor to restore when the wait ends.
    HCURSOR m_hcurWaitCursorRestore;

private:
    CString m_strAppName;
    CString m_strExeName;
};

// Shows text through the application's DoMessageBox, or without an application through
// the default described at CWinApp::DoMessageBox. Returns the button.
NAVO_MFC_API int AFXAPI AfxMessageBox(LPCSTR text, UINT type = MB_OK, UINT helpId = 0);
// As above with the text loaded by ID through the resource chain.
NAVO_MFC_API int AFXAPI AfxMessageBox(UINT textId, UINT type = MB_OK, UINT helpId = UINT(-1));

// The platform's message box with this caption, task-modal and without an owner (null
// caption: the executable's name). Used by AfxMessageBox without an application.
NAVO_MFC_API int AFXAPI AfxDefaultMessageBox(LPCSTR caption, LPCSTR text, UINT type);
