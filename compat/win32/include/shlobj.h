// The shell: the shell link object and its IShellLinkA interface.
#pragma once

#include "objbase.h"
#include "winbase.h"

#ifndef _FILETIME_
#define _FILETIME_
typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;
#endif

#ifndef _WIN32_FIND_DATAA_
#define _WIN32_FIND_DATAA_
typedef struct _WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
} WIN32_FIND_DATAA, *PWIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;
#endif

// An item identifier list of the shell namespace; opaque here.
typedef struct _ITEMIDLIST ITEMIDLIST;
typedef ITEMIDLIST* LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;

// GetPath flags.
#define SLGP_SHORTPATH 0x1
#define SLGP_UNCPRIORITY 0x2
#define SLGP_RAWPATH 0x4

// Resolve flags.
#define SLR_NO_UI 0x1
#define SLR_UPDATE 0x4

extern "C" {
extern NAVO_WIN32_API const CLSID CLSID_ShellLink;
extern NAVO_WIN32_API const IID IID_IShellLinkA;
}

// A shell link with 8-bit strings in the ANSI code page (UTF-8 on Linux). The getters
// copy at most size - 1 bytes and terminate, as lstrcpynA does.
struct IShellLinkA : public IUnknown {
    STDMETHOD(GetPath)(LPSTR file, int size, WIN32_FIND_DATAA* findData, DWORD flags) PURE;
    STDMETHOD(GetIDList)(LPITEMIDLIST* idList) PURE;
    STDMETHOD(SetIDList)(LPCITEMIDLIST idList) PURE;
    STDMETHOD(GetDescription)(LPSTR name, int size) PURE;
    STDMETHOD(SetDescription)(LPCSTR name) PURE;
    STDMETHOD(GetWorkingDirectory)(LPSTR dir, int size) PURE;
    STDMETHOD(SetWorkingDirectory)(LPCSTR dir) PURE;
    STDMETHOD(GetArguments)(LPSTR args, int size) PURE;
    STDMETHOD(SetArguments)(LPCSTR args) PURE;
    STDMETHOD(GetHotkey)(WORD* hotkey) PURE;
    STDMETHOD(SetHotkey)(WORD hotkey) PURE;
    STDMETHOD(GetShowCmd)(int* showCmd) PURE;
    STDMETHOD(SetShowCmd)(int showCmd) PURE;
    STDMETHOD(GetIconLocation)(LPSTR iconPath, int size, int* icon) PURE;
    STDMETHOD(SetIconLocation)(LPCSTR iconPath, int icon) PURE;
    STDMETHOD(SetRelativePath)(LPCSTR pathRel, DWORD reserved) PURE;
    STDMETHOD(Resolve)(HWND window, DWORD flags) PURE;
    STDMETHOD(SetPath)(LPCSTR file) PURE;
};
typedef IShellLinkA* LPSHELLLINKA;
