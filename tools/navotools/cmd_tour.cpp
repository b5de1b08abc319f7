// navotools tour: walks the library's capabilities once, one or two lines a step, on the
// user's emulated system state, and leaves nothing behind.
#include <dirent.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <shlobj.h>

#include "NavoTools.h"
#include "command.h"
#include "kernel/profile.h"
#include "system/file_read.h"

namespace navotools {
namespace tour_command {

int g_failures;

// One line: the verdict, what was tried and what came of it, line breaks shown as blanks.
void Step(const char* what, bool ok, const CString& detail) {
    printf("[%s] %s: ", ok ? " ok " : "FAIL", what);
    for (int i = 0; i < detail.GetLength(); ++i) {
        char c = detail[i];
        if (c == '\r') continue;
        putchar(c == '\n' ? ' ' : c);
    }
    putchar('\n');
    fflush(stdout);
    if (!ok) ++g_failures;
}

CString Text(const char* format, ...) __attribute__((format(printf, 1, 2)));
CString Text(const char* format, ...) {
    va_list args;
    va_start(args, format);
    char buffer[2048];
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return CString(buffer);
}

// The application the tour runs in: message boxes are printed, never shown.
class TourApp : public CWinApp {
public:
    TourApp() : CWinApp("navotools") {}
    int DoMessageBox(LPCSTR prompt, UINT, UINT) override {
        lastBox = prompt ? prompt : "";
        return IDOK;
    }
    CString lastBox;
};

void ErrorSteps() {
    CString message = GetErrorMessageWithDetails("Copy failed", ERROR_FILE_NOT_FOUND);
    Step("error message with details", message.Find("Details: [0x00000002] ") > 0, message);
    CDescException e(12002);
    char text[256] = {};
    e.GetErrorMessage(text, sizeof text, nullptr);
    Step("exception with a WinInet description", strcmp(text, "[0x00002EE2] The request has timed out.") == 0, text);
}

void InternetSteps() {
    CString status = GetHttpStatusCodeDescription(404);
    CString inet = GetWinInetErrorDescription(12029);
    Step("HTTP status 404 and WinInet 12029", status == "object not found" && !inet.IsEmpty(),
         "\"" + status + "\"; \"" + inet + "\"");
    CString escaped = ConvertForWeb("50% off + free shipping");
    Step("web escape", escaped == "50%%20off%20%2B%20free%20shipping", "50% off + free shipping -> " + escaped);
}

void VersionSteps() {
    CVersion library(CString("NavoTools.dll"));
    Step("the library's own version", library.GetStrVer() == "1.00.04", "NavoTools.dll is " + library.GetStrVer());
    CWinOSVersion os;
    const OSVERSIONINFOA& v = os.GetVerInfo();
    Step("reported Windows release", os.IsWinNT() || os.IsWin9x(),
         Text("%u.%u build %u, platform %u%s", v.dwMajorVersion, v.dwMinorVersion, v.dwBuildNumber, v.dwPlatformId,
              os.IsWin2000OrHigher() ? " (Windows 2000 or later)" : ""));
}

void RegistryStep() {
    CString key = Text("Software\\NavoTools\\Tour-%d", int(getpid()));
    CWinRegistry registry(HKEY_CURRENT_USER, key);
    CString read;
    LONG set = registry.SetStrValue("Greeting", "hello from the tour", REG_SZ);
    LONG got = registry.GetStrValue("Greeting", read);
    LONG removed = registry.DeleteKey();
    bool gone = registry.TestOpenKey() == ERROR_FILE_NOT_FOUND;
    // The parent was made for the tour too when it did not exist before.
    CWinRegistry parent(HKEY_CURRENT_USER, "Software\\NavoTools");
    DWORD children = 1;
    if (parent.GetSubKeyCount(children) == ERROR_SUCCESS && children == 0) parent.DeleteKey();
    Step("registry write, read and delete", set == 0 && got == 0 && read == "hello from the tour" && removed == 0 && gone,
         "HKCU\\" + key + "\\Greeting = \"" + read + "\", then removed");
}

void ShortcutStep() {
    char folder[] = "/tmp/navotools-tour-XXXXXX";
    if (!mkdtemp(folder)) {
        Step("shortcut", false, "no scratch folder");
        return;
    }
    CoInitialize(nullptr);
    HRESULT hr = CreateShortcut("/usr/bin/env", folder, "NavoTools tour", "--version");
    CString path = CString(folder) + "/env.LNK";
    CString target, arguments, description;
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(hr) && SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                                    reinterpret_cast<void**>(&link)))) {
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            WCHAR wide[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH);
            if (SUCCEEDED(file->Load(wide, STGM_READ))) {
                char text[MAX_PATH * 3] = {};
                link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
                target = text;
                link->GetArguments(text, sizeof text);
                arguments = text;
                link->GetDescription(text, sizeof text);
                description = text;
            }
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    unlink(path);
    rmdir(folder);
    Step("shortcut created and read back", SUCCEEDED(hr) && target == "/usr/bin/env" && arguments == "--version",
         Text("%s -> %s %s (\"%s\"), then removed", static_cast<LPCSTR>(path), static_cast<LPCSTR>(target),
              static_cast<LPCSTR>(arguments), static_cast<LPCSTR>(description)));
}

void ResourceDllStep(TourApp& app) {
    HINSTANCE before = AfxGetResourceHandle();
    CString greeting, name;
    bool loaded = false, restored = false;
    {
        CResourceDllLoader loader("NavoTour%s.dll", "NavoTourEng.dll");
        loaded = loader.GetResourceDLLModule() != nullptr && loader.SwitchResources() == 1;
        greeting.LoadString(1);
        name = loader.GetResourceDLLName();
    }
    restored = AfxGetResourceHandle() == before;
    Step("resource DLL for the user's language", loaded && restored && !greeting.IsEmpty(),
         loaded ? name + ": \"" + greeting + "\"" : "not loaded: " + app.lastBox);
}

std::set<std::string> OutboxFiles(const std::string& outbox) {
    std::set<std::string> names;
    if (DIR* dir = opendir(outbox.c_str())) {
        while (dirent* e = readdir(dir))
            if (strstr(e->d_name, ".eml")) names.insert(e->d_name);
        closedir(dir);
    }
    return names;
}

void MailStep() {
    char state[4096] = {};
    NavoGetStateDirectoryA(state, sizeof state, TRUE);
    std::string outbox = std::string(state) + "/outbox";
    // The mail goes to the outbox, whatever the desktop, and WIN.INI is put back afterwards.
    const char* delivery = getenv("NAVOTOOLS_MAIL_DELIVERY");
    std::string previousDelivery = delivery ? delivery : "";
    setenv("NAVOTOOLS_MAIL_DELIVERY", "outbox", 1);
    // WIN.INI is restored byte for byte afterwards, or removed when the tour made it.
    char windows[4096] = {};
    GetWindowsDirectoryA(windows, sizeof windows);
    // The file a bare "WIN.INI" names: any spelling of it in the Windows directory.
    std::string iniPath = std::string(windows) + "/WIN.INI";
    if (DIR* dir = opendir(windows)) {
        while (dirent* e = readdir(dir))
            if (strcasecmp(e->d_name, "WIN.INI") == 0) iniPath = std::string(windows) + "/" + e->d_name;
        closedir(dir);
    }
    // A WIN.INI that cannot be read whole (larger than the INI writer takes, not a regular
    // file, unreadable) is one the writer leaves alone too; it is not removed afterwards.
    std::string iniBytes;
    const int iniRead = navo::win32::ReadFileBounded(iniPath, navo::win32::kMaxProfileBytes, iniBytes);
    const bool iniExisted = iniRead != ENOENT, windowsExisted = access(windows, F_OK) == 0;
    WritePrivateProfileStringA("MAIL", "MAPI", "1", "WIN.INI");
    std::set<std::string> before = OutboxFiles(outbox);
    CString failure;
    try {
        SendMail("NavoTools Tour <tour@example.org>", "NavoTools tour", "A test mail from navotools tour.",
                 CStringArray());
    } catch (CException* e) {
        char text[1024] = {};
        e->GetErrorMessage(text, sizeof text, nullptr);
        failure = text;
        e->Delete();
    }
    if (iniRead == 0) {
        if (FILE* f = fopen(iniPath.c_str(), "wb")) {
            fwrite(iniBytes.data(), 1, iniBytes.size(), f);
            fclose(f);
        }
    } else if (!iniExisted) {
        unlink(iniPath.c_str());
        if (!windowsExisted) rmdir(windows);
    }
    if (previousDelivery.empty()) unsetenv("NAVOTOOLS_MAIL_DELIVERY");
    else setenv("NAVOTOOLS_MAIL_DELIVERY", previousDelivery.c_str(), 1);
    std::vector<std::string> added;
    for (const std::string& name : OutboxFiles(outbox))
        if (!before.count(name)) added.push_back(name);
    const std::string folder = outbox + "/";
    for (const std::string& name : added) unlink((folder + name).c_str());
    if (before.empty()) rmdir(outbox.c_str());
    std::string placed = outbox;
    placed += "/";
    placed += added.empty() ? "?" : added[0];
    placed += ", then removed";
    Step("test mail placed in the outbox", failure.IsEmpty() && added.size() == 1,
         failure.IsEmpty() ? CString(placed.c_str())
                           : failure);
}

int Run() {
    g_failures = 0;
    TourApp app;
    ErrorSteps();
    InternetSteps();
    VersionSteps();
    RegistryStep();
    ShortcutStep();
    ResourceDllStep(app);
    MailStep();
    printf("%d step(s) failed\n", g_failures);
    return g_failures ? kFailed : kOk;
}

void Declare(CLI::App& app) {
    app.description(
        "try every capability of the library once\n"
        "Runs each capability once and says what it did: error texts, Internet\n"
        "descriptions, web escaping, versions, the registry, a shortcut, a resource DLL and\n"
        "a test mail. Everything it creates it removes again. Exits 0 only when every step\n"
        "worked.");
    SetAction(app, &Run);
}

NAVOTOOLS_COMMAND("tour", "try every capability of the library once", &Declare);
}  // namespace tour_command
}  // namespace navotools
