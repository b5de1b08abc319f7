// CreateShortcut: a shell link through the shell's link object.
#include <shlobj.h>

#include <cstdlib>

#include "NavoTools/Shell.h"

namespace {

// Removes the quotes around a quoted target: trailing blanks, then the last character
// (whatever it is), then the first.
CString Unquote(CString target) {
    if (target.GetLength() > 0 && target[0] == '"') {
        target.TrimRight();
        target.Delete(target.GetLength() - 1);
        target.Delete(0);
    }
    return target;
}

}  // namespace

HRESULT CreateShortcut(CString targetPath, CString folder, CString description, CString arguments) {
    if (targetPath.GetLength() == 0 || folder.GetLength() == 0) return E_INVALIDARG;

    CString target = Unquote(targetPath);
    char drive[_MAX_DRIVE], dir[_MAX_DIR], name[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(target, drive, dir, name, ext);
    CString workingDirectory = CString(drive) + dir;
    CString linkPath = folder + "\\" + name + ".LNK";

    IShellLinkA* link = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&link));
    if (FAILED(hr)) return hr;
    IPersistFile* file = nullptr;
    hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (FAILED(hr)) {
        link->Release();
        return hr;
    }

    hr = link->SetPath(target);
    if (SUCCEEDED(hr) && !arguments.IsEmpty()) hr = link->SetArguments(arguments);
    if (SUCCEEDED(hr)) hr = link->SetWorkingDirectory(workingDirectory);
    if (SUCCEEDED(hr)) hr = link->SetDescription(description);
    if (SUCCEEDED(hr)) {
        // The name must fit the buffer whole: a cut name would save a link elsewhere.
        WCHAR wideLinkPath[MAX_PATH];
        if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wideLinkPath, MAX_PATH) > 0)
            hr = file->Save(wideLinkPath, TRUE);
        else
            hr = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    }
    file->Release();
    link->Release();
    return hr;
}
