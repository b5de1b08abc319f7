// CCmdTarget, CWinApp, the wait cursor and message boxes.
#include <afxwin.h>

CCmdTarget::CCmdTarget() = default;
CCmdTarget::~CCmdTarget() = default;

void CCmdTarget::BeginWaitCursor() {
    if (CWinApp* app = AfxGetApp()) app->DoWaitCursor(1);
}

void CCmdTarget::EndWaitCursor() {
    if (CWinApp* app = AfxGetApp()) app->DoWaitCursor(-1);
}

void CCmdTarget::RestoreWaitCursor() {
    if (CWinApp* app = AfxGetApp()) app->DoWaitCursor(0);
}

namespace {

// The executable's file name without its folder and extension, as MFC fills m_pszExeName.
CString ExecutableBaseName() {
    CString path;
    DWORD n = GetModuleFileNameA(nullptr, path.GetBuffer(MAX_PATH * 4), MAX_PATH * 4);
    path.ReleaseBuffer(n ? int(n) : 0);
    int slash = path.ReverseFind('/');
    int backslash = path.ReverseFind('\\');
    int start = (slash > backslash ? slash : backslash) + 1;
    CString name = path.Mid(start);
    int dot = name.ReverseFind('.');
    if (dot > 0) name = name.Left(dot);
    return name;
}

}  // namespace

CWnd::CWnd() : m_hWnd(nullptr) {}
CWnd::CWnd(HWND window) : m_hWnd(window) {}
CWnd::~CWnd() = default;
HWND CWnd::GetSafeHwnd() const { return m_hWnd; }

CWinApp::CWinApp(LPCSTR appName)
    : m_pMainWnd(nullptr),
      m_pszAppName(nullptr),
      m_pszExeName(nullptr),
      m_hInstance(nullptr),
      m_nWaitCursorCount(0),
      m_hcurWaitCursorRestore(nullptr) {
    m_strExeName = ExecutableBaseName();
    m_strAppName = appName ? CString(appName) : m_strExeName;
    m_pszAppName = m_strAppName;
    m_pszExeName = m_strExeName;
    m_hInstance = GetModuleHandleA(nullptr);
    AFX_MODULE_STATE* state = AfxGetModuleState();
    state->m_pCurrentWinApp = this;
    state->m_lpszCurrentAppName = m_pszAppName;
    if (!state->m_hCurrentInstanceHandle) state->m_hCurrentInstanceHandle = m_hInstance;
}

CWinApp::~CWinApp() {
    AFX_MODULE_STATE* state = AfxGetModuleState();
    if (state->m_pCurrentWinApp == this) {
        state->m_pCurrentWinApp = nullptr;
        state->m_lpszCurrentAppName = nullptr;
    }
}

BOOL CWinApp::InitInstance() { return TRUE; }
int CWinApp::ExitInstance() { return 0; }

int CWinApp::DoMessageBox(LPCSTR prompt, UINT type, UINT) {
    // Owned by the main window, the box is modal to it; without one it is modal to every
    // window of the calling thread.
    HWND owner = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    if (!owner) type |= MB_TASKMODAL;
    return MessageBoxA(owner, prompt ? prompt : "", m_pszAppName, type);
}

// MFC's wait cursor: the restore cursor is the one that was current when the count left 0.
void CWinApp::DoWaitCursor(int code) {
    m_nWaitCursorCount += code;
    if (m_nWaitCursorCount > 0) {
        HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        if (code > 0 && m_nWaitCursorCount == 1) m_hcurWaitCursorRestore = previous;
    } else {
        m_nWaitCursorCount = 0;
        SetCursor(m_hcurWaitCursorRestore);
    }
}

int AFXAPI AfxDefaultMessageBox(LPCSTR caption, LPCSTR text, UINT type) {
    CString name;
    if (!caption) {
        name = ExecutableBaseName();
        caption = name;
    }
    return MessageBoxA(nullptr, text ? text : "", caption, type | MB_TASKMODAL);
}

int AFXAPI AfxMessageBox(LPCSTR text, UINT type, UINT helpId) {
    if (CWinApp* app = AfxGetApp()) return app->DoMessageBox(text, type, helpId);
    return AfxDefaultMessageBox(nullptr, text, type);
}

int AFXAPI AfxMessageBox(UINT textId, UINT type, UINT helpId) {
    CString text;
    text.LoadString(textId);
    if (helpId == UINT(-1)) helpId = textId;
    return AfxMessageBox(text, type, helpId);
}
