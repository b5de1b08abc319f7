// NavoTools example: a small application in the MFC style built on the installed package.
//
// The application object shows its message boxes on standard output, keeps its own string
// table (English and French) and version block in its executable, and loads a resource DLL
// for the user's language. Each step prints one or two lines; the exit code is 0 only when
// every step gave what the application expects.
#include <NavoTools.h>

#include <cstdio>

#include "res/resource.h"

class CExampleApp : public CWinApp {
public:
    BOOL InitInstance() override;
    int ExitInstance() override;
    // Draws the box as text on standard output and answers with its default button.
    int DoMessageBox(LPCSTR prompt, UINT type, UINT promptId) override;

    CString m_strLastBox;  // the text of the last box shown

private:
    void Check(bool ok, LPCSTR what);
    int m_nFailures = 0;
};

CExampleApp theApp;

namespace {

LPCSTR IconName(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONSTOP: return "stop";
    case MB_ICONQUESTION: return "question";
    case MB_ICONEXCLAMATION: return "exclamation";
    case MB_ICONINFORMATION: return "information";
    default: return "no icon";
    }
}

}  // namespace

int CExampleApp::DoMessageBox(LPCSTR prompt, UINT type, UINT) {
    CString title;
    title.LoadString(IDS_APP_TITLE);
    int button = IDOK;
    LPCSTR buttons = "OK";
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: buttons = "OK Cancel"; break;
    case MB_YESNO: buttons = "Yes No"; button = IDYES; break;
    case MB_YESNOCANCEL: buttons = "Yes No Cancel"; button = IDYES; break;
    default: break;
    }
    printf("+-- message box: %s (%s; %s)\n", static_cast<LPCSTR>(title), IconName(type), buttons);
    CString text(prompt);
    text.TrimRight("\r\n");  // system descriptions end in CR LF
    for (int start = 0;;) {
        int end = text.Find('\n', start);
        CString line = end < 0 ? text.Mid(start) : text.Mid(start, end - start);
        line.TrimRight("\r\n");
        if (line.IsEmpty())
            printf("|\n");
        else
            printf("| %s\n", static_cast<LPCSTR>(line));
        if (end < 0) break;
        start = end + 1;
    }
    printf("+-- answered with the default button\n");
    m_strLastBox = text;
    return button;
}

void CExampleApp::Check(bool ok, LPCSTR what) {
    if (!ok) {
        printf("   FAILED: %s\n", what);
        ++m_nFailures;
    }
}

BOOL CExampleApp::InitInstance() {
    // Its own strings and version, from its executable's resources.
    CVersion version;  // no file name: this application's executable
    CWinOSVersion os;
    const OSVERSIONINFOA& osvi = os.GetVerInfo();
    CString title, osName, greeting;
    Check(title.LoadString(IDS_APP_TITLE), "the application's string table");
    osName.Format("Windows %u.%u build %u", unsigned(osvi.dwMajorVersion), unsigned(osvi.dwMinorVersion),
                  unsigned(osvi.dwBuildNumber));
    greeting.FormatMessage(IDS_GREETING, static_cast<LPCSTR>(title), static_cast<LPCSTR>(version.GetStrVer()),
                           static_cast<LPCSTR>(osName));
    printf("%s\n", static_cast<LPCSTR>(greeting));
    Check(version.GetStrVer() == "2.03.17", "the version block reads 2.03.17");
    printf("version %s, GetVersion() %ld; NT family: %s, Windows 2000 or later: %s\n",
           static_cast<LPCSTR>(version.GetStrVer()), long(version.GetVersion()), os.IsWinNT() ? "yes" : "no",
           os.IsWin2000OrHigher() ? "yes" : "no");

    // An error with its details line, shown through this application's DoMessageBox.
    const char* plugin = "ExamplePlugin.dll";
    HMODULE module = LoadLibraryA(plugin);
    Check(module == nullptr, "the plug-in is missing");
    if (module == nullptr) {
        DWORD error = GetLastError();
        CString text;
        text.Format(IDS_PLUGIN_FAILED, plugin);
        ShowError(text, LONG(error), MB_OK | MB_ICONEXCLAMATION);
        Check(m_strLastBox.Find("\n\nDetails: [0x0000007E] ") > 0, "the box has the details of error 126");
    } else {
        FreeLibrary(module);
    }

    // An exception of the library: the registry wrapper reads text and numbers, and throws
    // MFC's not-supported exception for a value of another type. The handler owns the
    // exception object and deletes it.
    CWinRegistry settings(HKEY_CURRENT_USER, "Software\\NavoTools Example");
    Check(settings.SetStrValue("Placement", "0 0 640 480", REG_BINARY) == ERROR_SUCCESS, "a binary value is stored");
    try {
        CString placement;
        settings.GetStrValue("Placement", placement);
        Check(false, "reading a binary value as text throws");
    } catch (CNotSupportedException* e) {
        printf("Reading the binary value Placement as text: %s caught\n", e->GetRuntimeClass()->m_lpszClassName);
        e->Delete();
    }
    Check(settings.DeleteKey() == ERROR_SUCCESS, "the example's registry key is removed");

    // Internet descriptions and web escaping.
    printf("HTTP 404: %s\n", static_cast<LPCSTR>(GetHttpStatusCodeDescription(404)));
    printf("WinInet 12007: %s\n", static_cast<LPCSTR>(GetWinInetErrorDescription(12007)));
    CString escaped = ConvertForWeb("annual report+draft.txt");
    printf("web escape: %s\n", static_cast<LPCSTR>(escaped));
    Check(escaped == "annual%20report%2Bdraft.txt", "ConvertForWeb escapes the blank and the plus sign");

    // User-interface strings from the resource DLL of the user's language.
    {
        CResourceDllLoader resources("Example%s.dll", "ExampleEng.dll");
        Check(resources.SwitchResources() == 1, "a resource DLL is loaded");
        CString language;
        language.LoadString(IDS_UI_LANGUAGE);
        printf("%s\n", static_cast<LPCSTR>(language));
        Check(!language.IsEmpty(), "the resource DLL holds the UI strings");
    }  // the loader puts back the executable as the resource module
    Check(title.LoadString(IDS_APP_TITLE), "the executable's strings after the resource DLL");

    // A dialog-based application does its work in InitInstance and returns FALSE: no
    // message loop.
    return FALSE;
}

int CExampleApp::ExitInstance() {
    if (m_nFailures)
        printf("%d step(s) failed\n", m_nFailures);
    else
        printf("every step worked\n");
    return m_nFailures ? 1 : 0;
}

// What AfxWinMain does for a dialog-based application.
int main() {
    CWinApp* app = AfxGetApp();
    if (app->InitInstance()) {
        // A message loop would run here.
    }
    return app->ExitInstance();
}
