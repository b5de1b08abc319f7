// navotools shortcut, lnk, start and close: shell shortcuts, starting programs and asking
// applications to quit.
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace {

int RunShortcut(const Args& args);
int RunLnk(const Args& args);
int RunStart(const Args& args);
int RunClose(const Args& args);

const Command kShortcut = {
    "shortcut", "shortcut TARGET FOLDER [--description TEXT] [--args ARGUMENTS]",
    "Creates the shell shortcut FOLDER\\<base name of TARGET>.LNK to TARGET, with the\n"
    "folder of TARGET as working directory, and prints its path. TARGET may be quoted.\n"
    "Win32 names work: both separators, and a drive letter X: is the folder drive_x of\n"
    "the state directory ($NAVOTOOLS_HOME). Exits 1 with the HRESULT when it fails.",
    &RunShortcut};

const Command kLnk = {
    "lnk", "lnk FILE",
    "Reads the shell link FILE and prints its target, working directory, description,\n"
    "arguments, icon, show command and hot key, one \"name: value\" line each. Exits 1\n"
    "when FILE cannot be read or is not a well-formed shell link.",
    &RunLnk};

const Command kStart = {
    "start", "start COMMAND-LINE",
    "Starts the program of COMMAND-LINE (one argument; quote it for the shell) with\n"
    "StartApp. When it cannot be started, the failure message goes to standard error and\n"
    "the exit code is 1.",
    &RunStart};

const Command kClose = {
    "close", "close CLASS",
    "Asks the application whose top-level window has the class CLASS (the class part of\n"
    "WM_CLASS on the display of $DISPLAY) to quit: posts the exit command, then the close\n"
    "request. Exits 1 when there is no such window or the request could not be posted.",
    &RunClose};

// COM for the length of one command.
class ComScope {
public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    HRESULT result() const { return hr_; }

private:
    HRESULT hr_;
};

int Failed(const char* command, const char* what, HRESULT hr) {
    CString description = GetSystemErrorMessage(hr);
    description.TrimRight();
    fprintf(stderr, "navotools %s: %s: [0x%08X] %s\n", command, what, unsigned(hr), static_cast<LPCSTR>(description));
    return kFailed;
}

int RunShortcut(const Args& args) {
    std::vector<std::string> positional;
    std::string description, arguments;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--description" || args[i] == "--args") {
            if (i + 1 >= args.size()) return UsageError(kShortcut, args[i] + " needs a value");
            (args[i] == "--args" ? arguments : description) = args[i + 1];
            ++i;
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 2) return UsageError(kShortcut, "expects a target and a folder");
    if (positional[0].empty() || positional[1].empty()) return UsageError(kShortcut, "target and folder must not be empty");
    ComScope com;
    if (FAILED(com.result())) return Failed("shortcut", "cannot initialize COM", com.result());
    HRESULT hr = CreateShortcut(positional[0].c_str(), positional[1].c_str(), description.c_str(), arguments.c_str());
    if (FAILED(hr)) return Failed("shortcut", "cannot create the shortcut", hr);
    // The path CreateShortcut used: the folder, a backslash and the target's base name.
    CString target = positional[0].c_str();
    if (target.GetLength() > 0 && target[0] == '"') {
        target.TrimRight();
        target.Delete(target.GetLength() - 1);
        target.Delete(0);
    }
    char name[_MAX_FNAME];
    _splitpath(target, nullptr, nullptr, name, nullptr);
    printf("%s\\%s.LNK\n", positional[1].c_str(), name);
    return kOk;
}

int RunLnk(const Args& args) {
    if (args.size() != 1) return UsageError(kLnk, "expects one file");
    ComScope com;
    if (FAILED(com.result())) return Failed("lnk", "cannot initialize COM", com.result());
    IShellLinkA* link = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&link));
    if (FAILED(hr)) return Failed("lnk", "cannot create the shell link object", hr);
    IPersistFile* file = nullptr;
    hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (FAILED(hr)) {
        link->Release();
        return Failed("lnk", "the shell link object cannot load files", hr);
    }
    std::vector<WCHAR> wide(args[0].size() + 1);
    MultiByteToWideChar(CP_ACP, 0, args[0].c_str(), -1, wide.data(), int(wide.size()));
    hr = file->Load(wide.data(), STGM_READ);
    if (SUCCEEDED(hr)) {
        static char text[65536 * 3 + 1];
        link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
        printf("target: %s\n", text);
        link->GetWorkingDirectory(text, sizeof text);
        printf("working directory: %s\n", text);
        link->GetDescription(text, sizeof text);
        printf("description: %s\n", text);
        link->GetArguments(text, sizeof text);
        printf("arguments: %s\n", text);
        int icon = 0, show = 0;
        WORD hotkey = 0;
        link->GetIconLocation(text, sizeof text, &icon);
        printf("icon: %s,%d\n", text, icon);
        link->GetShowCmd(&show);
        printf("show command: %d\n", show);
        link->GetHotkey(&hotkey);
        printf("hot key: 0x%04X\n", unsigned(hotkey));
    }
    file->Release();
    link->Release();
    if (FAILED(hr)) return Failed("lnk", ("cannot read " + args[0]).c_str(), hr);
    return kOk;
}

int RunStart(const Args& args) {
    if (args.size() != 1) return UsageError(kStart, "expects one command line (quote it)");
    return StartApp(args[0].c_str(), SW_SHOWNORMAL) ? kOk : kFailed;
}

int RunClose(const Args& args) {
    if (args.size() != 1) return UsageError(kClose, "expects one window class");
    if (CloseAppByClassName(args[0].c_str())) return kOk;
    fprintf(stderr, "navotools close: no window of class %s took the close request\n", args[0].c_str());
    return kFailed;
}

}  // namespace
NAVOTOOLS_COMMAND(kShortcut);
NAVOTOOLS_COMMAND(kLnk);
NAVOTOOLS_COMMAND(kStart);
NAVOTOOLS_COMMAND(kClose);
}  // namespace navotools
