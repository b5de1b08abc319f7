// navotools shortcut, lnk, start and close: shell shortcuts, starting programs and asking
// applications to quit.
#include <limits.h>
#include <shlobj.h>
#include <stdlib.h>

#include <cstdlib>
#include <string>

#include "NavoTools.h"
#include "command.h"
#include "tool_support.h"

namespace navotools {
namespace shell_command {

// COM for the length of one command.
class ComScope {
public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    HRESULT result() const { return hr_; }

private:
    HRESULT hr_;
};

// The Linux path of a Win32 or Linux file name: the folder as the shell link object
// resolves it (drive letters to the state directory's drive_x folders), made absolute.
std::string LinuxPathOf(const std::string& win32) {
    std::string path = win32;
    for (char& c : path)
        if (c == '\\') c = '/';
    if (path.size() >= 2 && path[1] == ':' && isalpha(static_cast<unsigned char>(path[0]))) {
        char state[4096];
        DWORD n = NavoGetStateDirectoryA(state, sizeof state, FALSE);
        if (n > 0 && n < sizeof state)
            path = std::string(state) + "/drive_" + char(tolower(static_cast<unsigned char>(path[0]))) + path.substr(2);
    }
    char resolved[PATH_MAX];
    std::string folder = path.substr(0, path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/'));
    std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    if (!folder.empty() && realpath(folder.c_str(), resolved)) return std::string(resolved) + "/" + name;
    if (folder.empty() && path[0] != '/' && realpath(".", resolved)) return std::string(resolved) + "/" + name;
    return path;
}

void DeclareShortcut(CLI::App& app) {
    struct O {
        std::string target, folder, description, arguments;
    };
    auto o = std::make_shared<O>();
    app.description(
        "create a shell shortcut\n"
        "Creates FOLDER\\<base name of TARGET>.LNK with CreateShortcut, with the folder of\n"
        "TARGET as working directory, and prints the Linux path of the file written. TARGET\n"
        "may be quoted. Win32 names work: both separators, and a drive letter X: is the\n"
        "folder drive_x of the state directory ($NAVOTOOLS_HOME).");
    AddOperand(app, "TARGET", o->target, "the file the shortcut starts")->required();
    AddOperand(app, "FOLDER", o->folder, "the folder the shortcut is created in")->required();
    app.add_option("--description", o->description, "the shortcut's description")->option_text(" TEXT");
    app.add_option("--args", o->arguments, "the arguments the target is started with")->option_text(" ARGUMENTS");
    SetAction(app, [o] {
        if (o->target.empty() || o->folder.empty()) return Usage("target and folder must not be empty");
        ComScope com;
        if (FAILED(com.result())) return Fail("cannot initialize COM", DWORD(com.result()));
        HRESULT hr = CreateShortcut(o->target.c_str(), o->folder.c_str(), o->description.c_str(),
                                    o->arguments.c_str());
        if (FAILED(hr)) return Fail("cannot create a shortcut to " + o->target + " in " + o->folder, DWORD(hr));
        // The name CreateShortcut gave it: the target's base name and ".LNK".
        CString target = o->target.c_str();
        if (target.GetLength() > 0 && target[0] == '"') {
            target.TrimRight();
            target.Delete(target.GetLength() - 1);
            target.Delete(0);
        }
        char name[_MAX_FNAME];
        _splitpath(target, nullptr, nullptr, name, nullptr);
        PrintOut("%s\n", LinuxPathOf(o->folder + "/" + name + ".LNK").c_str());
        return int(kOk);
    });
}

int ReadLink(const std::string& file) {
    ComScope com;
    if (FAILED(com.result())) return Fail("cannot initialize COM", DWORD(com.result()));
    IShellLinkA* link = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&link));
    if (FAILED(hr)) return Fail("cannot create the shell link object", DWORD(hr));
    IPersistFile* persist = nullptr;
    hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
    if (FAILED(hr)) {
        link->Release();
        return Fail("the shell link object cannot load files", DWORD(hr));
    }
    std::vector<WCHAR> wide(file.size() + 1);
    MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide.data(), int(wide.size()));
    hr = persist->Load(wide.data(), STGM_READ);
    // The reason is taken before any other call can replace the diagnosis.
    std::string reason = FAILED(hr) ? Reason(DWORD(hr)) : std::string();
    if (SUCCEEDED(hr)) {
        static char text[65536 * 3 + 1];
        link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
        PrintOut("target: %s\n", text);
        link->GetWorkingDirectory(text, sizeof text);
        PrintOut("working directory: %s\n", text);
        link->GetDescription(text, sizeof text);
        PrintOut("description: %s\n", text);
        link->GetArguments(text, sizeof text);
        PrintOut("arguments: %s\n", text);
        int icon = 0, show = 0;
        WORD hotkey = 0;
        link->GetIconLocation(text, sizeof text, &icon);
        PrintOut("icon: %s,%d\n", text, icon);
        link->GetShowCmd(&show);
        PrintOut("show command: %d\n", show);
        link->GetHotkey(&hotkey);
        PrintOut("hot key: 0x%04X\n", unsigned(hotkey));
    }
    persist->Release();
    link->Release();
    if (FAILED(hr)) return FailText("cannot read " + file, reason);
    return kOk;
}

void DeclareLnk(CLI::App& app) {
    auto file = std::make_shared<std::string>();
    app.description(
        "print the fields of a shell link\n"
        "Target, working directory, description, arguments, icon, show command and hot key,\n"
        "one \"name: value\" line each. Exits 1 when FILE cannot be read or is not a\n"
        "well-formed shell link.");
    AddOperand(app, "FILE", *file, "the .LNK file")->required();
    SetAction(app, [file] { return ReadLink(*file); });
}

// The application the commands run in: a message box is printed as a message, never shown.
class ToolApp : public CWinApp {
public:
    ToolApp() : CWinApp("navotools") {}
    int DoMessageBox(LPCSTR prompt, UINT, UINT) override {
        std::string text = prompt ? prompt : "";
        // "sentence\n\nDetails: ..." becomes one line.
        for (size_t at; (at = text.find("\n\n")) != std::string::npos;) text.replace(at, 2, ": ");
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        for (char& c : text)
            if (c == '\n' || c == '\r') c = ' ';
        FailText("cannot start", text);
        return IDOK;
    }
};

void DeclareStart(CLI::App& app) {
    auto line = std::make_shared<std::string>();
    app.description(
        "start a program\n"
        "Starts the program of COMMAND-LINE (one operand; quote it for the shell) with\n"
        "StartApp. When it cannot be started, the reason goes to standard error and the\n"
        "exit code is 1.");
    AddOperand(app, "COMMAND-LINE", *line, "the program and its arguments, as one operand")->required();
    SetAction(app, [line] {
        ToolApp messages;
        return StartApp(line->c_str(), SW_SHOWNORMAL) ? int(kOk) : int(kFailed);
    });
}

void DeclareClose(CLI::App& app) {
    auto windowClass = std::make_shared<std::string>();
    app.description(
        "ask an application to quit\n"
        "The application whose top-level window has the class CLASS (the class part of\n"
        "WM_CLASS on the display of $DISPLAY): posts the exit command, then the close\n"
        "request. Exits 1 when there is no display, no such window, or the request could\n"
        "not be posted.");
    AddOperand(app, "CLASS", *windowClass, "the window class, such as XEyes")->required();
    SetAction(app, [windowClass] {
        std::string noDisplay = NoDisplayReason();
        if (!noDisplay.empty()) return FailText("cannot close " + *windowClass, noDisplay);
        if (CloseAppByClassName(windowClass->c_str())) return int(kOk);
        return FailText("cannot close " + *windowClass, "no window of that class took the close request");
    });
}

NAVOTOOLS_COMMAND("shortcut", "create a shell shortcut", &DeclareShortcut);
NAVOTOOLS_COMMAND("lnk", "print the fields of a shell link", &DeclareLnk);
NAVOTOOLS_COMMAND("start", "start a program", &DeclareStart);
NAVOTOOLS_COMMAND("close", "ask an application to quit", &DeclareClose);
}  // namespace shell_command
}  // namespace navotools
