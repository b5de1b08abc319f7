// CCmdTarget, CWinApp, the wait cursor and message boxes.
#include <afxwin.h>

#include <cstdio>
#include <cstring>

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

int DefaultButton(UINT type) {
    static const int kButtons[][3] = {
        {IDOK, IDOK, IDOK},                 // MB_OK
        {IDOK, IDCANCEL, IDCANCEL},         // MB_OKCANCEL
        {IDABORT, IDRETRY, IDIGNORE},       // MB_ABORTRETRYIGNORE
        {IDYES, IDNO, IDCANCEL},            // MB_YESNOCANCEL
        {IDYES, IDNO, IDNO},                // MB_YESNO
        {IDRETRY, IDCANCEL, IDCANCEL},      // MB_RETRYCANCEL
        {IDCANCEL, IDTRYAGAIN, IDCONTINUE}  // MB_CANCELTRYCONTINUE
    };
    UINT kind = type & MB_TYPEMASK;
    if (kind >= sizeof kButtons / sizeof kButtons[0]) kind = 0;
    UINT which = (type & MB_DEFMASK) >> 8;
    if (which > 2) which = 2;
    return kButtons[kind][which];
}

}  // namespace

CWinApp::CWinApp(LPCSTR appName) : m_pszAppName(nullptr), m_pszExeName(nullptr), m_hInstance(nullptr), m_nWaitCursorCount(0) {
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

int CWinApp::DoMessageBox(LPCSTR prompt, UINT type, UINT) { return AfxDefaultMessageBox(m_pszAppName, prompt, type); }

void CWinApp::DoWaitCursor(int code) {
    if (code == 0) return;
    m_nWaitCursorCount += code;
    if (m_nWaitCursorCount < 0) m_nWaitCursorCount = 0;
}

int AFXAPI AfxDefaultMessageBox(LPCSTR caption, LPCSTR text, UINT type) {
    fprintf(stderr, "%s: %s\n", caption && *caption ? caption : "Message", text ? text : "");
    fflush(stderr);
    return DefaultButton(type);
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
