// The COM library: per-thread initialization, creation of the built-in in-process
// classes, the task allocator and the identifiers of the core interfaces.
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>

#include "shell/com_classes.h"

extern "C" {
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IPersist = {0x0000010C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const CLSID CLSID_ShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
}

namespace {

// A thread's COM state: how many successful initializations are still open and the
// concurrency model the first one chose.
struct Apartment {
    unsigned count = 0;
    bool multithreaded = false;
};
thread_local Apartment t_apartment;

constexpr DWORD kKnownCoInitFlags =
    COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE | COINIT_SPEED_OVER_MEMORY;

struct ClassEntry {
    const CLSID* classId;
    navo::win32::ClassFactoryFn create;
};

const ClassEntry kClasses[] = {
    {&CLSID_ShellLink, &navo::win32::CreateShellLink},
};

}  // namespace

extern "C" {

HRESULT WINAPI CoInitializeEx(LPVOID reserved, DWORD coInit) {
    if (reserved || (coInit & ~kKnownCoInitFlags)) return E_INVALIDARG;
    const bool multithreaded = !(coInit & COINIT_APARTMENTTHREADED);
    Apartment& a = t_apartment;
    if (a.count > 0) {
        if (a.multithreaded != multithreaded) return RPC_E_CHANGED_MODE;
        ++a.count;
        return S_FALSE;
    }
    a.count = 1;
    a.multithreaded = multithreaded;
    return S_OK;
}

HRESULT WINAPI CoInitialize(LPVOID reserved) {
    // CoInitialize ignores its reserved argument and asks for a single-threaded apartment.
    (void)reserved;
    return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
}

void WINAPI CoUninitialize() {
    if (t_apartment.count > 0) --t_apartment.count;
}

HRESULT WINAPI CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD classContext, REFIID riid, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (t_apartment.count == 0) return CO_E_NOTINITIALIZED;
    if (outer) return CLASS_E_NOAGGREGATION;
    // Every class here is an in-process server.
    if (!(classContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    for (const ClassEntry& c : kClasses)
        if (IsEqualCLSID(*c.classId, classId)) return c.create(riid, object);
    return REGDB_E_CLASSNOTREG;
}

LPVOID WINAPI CoTaskMemAlloc(SIZE_T bytes) { return malloc(bytes ? bytes : 1); }

void WINAPI CoTaskMemFree(LPVOID mem) { free(mem); }

int WINAPI StringFromGUID2(REFGUID g, LPOLESTR buffer, int max) {
    if (!buffer || max < 39) return 0;
    char text[40];
    snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(g.Data1),
             unsigned(g.Data2), unsigned(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
             g.Data4[5], g.Data4[6], g.Data4[7]);
    for (int i = 0; i < 39; ++i) buffer[i] = OLECHAR(text[i]);
    return 39;
}

}  // extern "C"
