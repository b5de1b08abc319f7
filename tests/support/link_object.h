// Reads a link file back through the shell link object of the platform the test runs on:
// the Linux layer's, or the system's on Windows.
#pragma once

#include <shlobj.h>
#include <windows.h>

#include <string>

struct LinkContents {
    HRESULT loaded = E_FAIL;  // what IPersistFile::Load answered
    std::string target, workingDirectory, description, arguments;
};

// The link at `path`, a name the platform's functions take (ANSI code page). Call with
// COM initialized on the thread.
inline LinkContents ReadThroughLinkObject(const std::string& path) {
    LinkContents c;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return c;
    IPersistFile* file = nullptr;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        link->Release();
        return c;
    }
    WCHAR wide[1024];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, 1024);
    c.loaded = file->Load(wide, STGM_READ);
    char text[1024] = "";
    link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
    c.target = text;
    text[0] = 0;
    link->GetWorkingDirectory(text, sizeof text);
    c.workingDirectory = text;
    text[0] = 0;
    link->GetDescription(text, sizeof text);
    c.description = text;
    text[0] = 0;
    link->GetArguments(text, sizeof text);
    c.arguments = text;
    file->Release();
    link->Release();
    return c;
}
