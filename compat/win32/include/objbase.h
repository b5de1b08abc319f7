// COM: class and interface identifiers, IUnknown, the per-thread COM library, object
// creation, the task allocator, and IPersistFile.
#pragma once

#include <cstring>

#include "winerror.h"
#include "winnt.h"

#define STDMETHODCALLTYPE
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define PURE = 0

typedef struct _GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;
typedef IID* LPIID;
typedef CLSID* LPCLSID;

typedef WCHAR OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }

// COM results.
#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0u)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154u)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110u)
#define RPC_E_CHANGED_MODE ((HRESULT)0x80010106u)
#define STG_E_FILENOTFOUND ((HRESULT)0x80030002u)
#define STG_E_PATHNOTFOUND ((HRESULT)0x80030003u)
#define STG_E_ACCESSDENIED ((HRESULT)0x80030005u)
#define STG_E_INVALIDPARAMETER ((HRESULT)0x80030057u)
#define STG_E_INVALIDHEADER ((HRESULT)0x800300FBu)
#define STG_E_READFAULT ((HRESULT)0x8003001Eu)
#define STG_E_WRITEFAULT ((HRESULT)0x8003001Du)
#define STG_E_MEDIUMFULL ((HRESULT)0x80030070u)

// Concurrency models of CoInitializeEx.
#define COINIT_MULTITHREADED 0x0
#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_DISABLE_OLE1DDE 0x4
#define COINIT_SPEED_OVER_MEMORY 0x8

// Class contexts of CoCreateInstance.
#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_REMOTE_SERVER 0x10
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

// Storage access modes of IPersistFile::Load.
#define STGM_READ 0x00000000L
#define STGM_WRITE 0x00000001L
#define STGM_READWRITE 0x00000002L
#define STGM_SHARE_DENY_NONE 0x00000040L
#define STGM_SHARE_DENY_READ 0x00000030L
#define STGM_SHARE_DENY_WRITE 0x00000020L
#define STGM_SHARE_EXCLUSIVE 0x00000010L

extern "C" {
extern NAVO_WIN32_API const IID IID_IUnknown;
extern NAVO_WIN32_API const IID IID_IPersist;
extern NAVO_WIN32_API const IID IID_IPersistFile;
}

struct IUnknown {
    STDMETHOD(QueryInterface)(REFIID riid, void** object) PURE;
    STDMETHOD_(ULONG, AddRef)() PURE;
    STDMETHOD_(ULONG, Release)() PURE;
};
typedef IUnknown* LPUNKNOWN;

struct IPersist : public IUnknown {
    STDMETHOD(GetClassID)(CLSID* classId) PURE;
};

struct IPersistFile : public IPersist {
    // S_OK when the object changed since it was last saved or loaded, S_FALSE otherwise.
    STDMETHOD(IsDirty)() PURE;
    STDMETHOD(Load)(LPCOLESTR fileName, DWORD mode) PURE;
    // Writes the object to fileName, or to its current file when fileName is null.
    // remember TRUE makes fileName the current file.
    STDMETHOD(Save)(LPCOLESTR fileName, BOOL remember) PURE;
    STDMETHOD(SaveCompleted)(LPCOLESTR fileName) PURE;
    // The current file in memory from CoTaskMemAlloc; S_FALSE and the default name when
    // there is none.
    STDMETHOD(GetCurFile)(LPOLESTR* fileName) PURE;
};
typedef IPersistFile* LPPERSISTFILE;

extern "C" {

// Initializes COM on the calling thread. The first call of a thread returns S_OK, each
// further one S_FALSE (and must be paired with CoUninitialize as well); a call that asks
// for another concurrency model than the thread has gets RPC_E_CHANGED_MODE and counts
// nothing.
WINBASEAPI HRESULT WINAPI CoInitialize(LPVOID reserved);
WINBASEAPI HRESULT WINAPI CoInitializeEx(LPVOID reserved, DWORD coInit);
// Undoes one successful CoInitialize(Ex) of the calling thread.
WINBASEAPI void WINAPI CoUninitialize();

// Creates an object of a registered in-process class and returns the interface asked
// for. CO_E_NOTINITIALIZED on a thread without COM, REGDB_E_CLASSNOTREG for a class that
// is not registered in the context, CLASS_E_NOAGGREGATION with an outer object,
// E_NOINTERFACE when the object has no such interface (*object is then null).
WINBASEAPI HRESULT WINAPI CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD classContext, REFIID riid,
                                           LPVOID* object);

// The task allocator, which owns strings that interfaces hand to their callers.
WINBASEAPI LPVOID WINAPI CoTaskMemAlloc(SIZE_T bytes);
WINBASEAPI void WINAPI CoTaskMemFree(LPVOID mem);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" into buffer; returns the characters stored with
// the terminator, 0 when max is below 39.
WINBASEAPI int WINAPI StringFromGUID2(REFGUID guid, LPOLESTR buffer, int max);

}  // extern "C"
