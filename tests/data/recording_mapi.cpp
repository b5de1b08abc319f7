// A Simple MAPI provider for tests: loaded as MAPI32.DLL, it logs every call with its
// arguments and answers with scripted codes. RecordingScript sets the codes and clears the
// log; RecordingLog gives the log, one line per call.
#include <windows.h>

#include <mapi.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Script {
    ULONG logon = 0, resolve = 0, send = 0, logoff = 0;
};

Script g_script;
std::string g_log;
MapiRecipDesc* g_resolved = nullptr;
MapiRecipDesc g_resolvedCopy;
bool g_waitCursorAtSend = false;
constexpr LHANDLE kSession = 77;

std::string Text(LPCSTR s) { return s ? "\"" + std::string(s) + "\"" : "null"; }
std::string Ptr(const void* p) { return p ? "set" : "null"; }
std::string Num(unsigned long long n) { return std::to_string(n); }

bool SameRecipient(const MapiRecipDesc* r) {
    return r == g_resolved && r && memcmp(r, &g_resolvedCopy, sizeof *r) == 0;
}

}  // namespace

// Exported by name: dllexport for a PE DLL, default visibility for an ELF object.
#if defined(_WIN32)
#define PROVIDER_EXPORT extern "C" __declspec(dllexport)
#else
#define PROVIDER_EXPORT extern "C" __attribute__((visibility("default")))
#endif

PROVIDER_EXPORT void RecordingScript(ULONG logon, ULONG resolve, ULONG send, ULONG logoff) {
    g_script = {logon, resolve, send, logoff};
    g_log.clear();
}

PROVIDER_EXPORT const char* RecordingLog() { return g_log.c_str(); }

// Whether the cursor was the wait cursor when MAPISendMail was last called.
PROVIDER_EXPORT BOOL RecordingWaitCursorAtSend() { return g_waitCursorAtSend; }

PROVIDER_EXPORT ULONG WINAPI MAPILogon(ULONG_PTR ui, LPSTR profile, LPSTR password, FLAGS flags, ULONG reserved,
                              LPLHANDLE session) {
    g_log += "MAPILogon ui=" + Num(ui) + " profile=" + Text(profile) + " password=" + Text(password) +
             " flags=" + Num(flags) + " reserved=" + Num(reserved) + " session=" + Num(session ? *session : 999) +
             "\n";
    if (g_script.logon == 0 && session) *session = kSession;
    return g_script.logon;
}

PROVIDER_EXPORT ULONG WINAPI MAPIResolveName(LHANDLE session, ULONG_PTR ui, LPSTR name, FLAGS flags, ULONG reserved,
                                    lpMapiRecipDesc* recipient) {
    g_log += "MAPIResolveName session=" + Num(session) + " ui=" + Num(ui) + " name=" + Text(name) +
             " flags=" + Num(flags) + " reserved=" + Num(reserved) + "\n";
    if (g_script.resolve != 0) return g_script.resolve;
    g_resolved = static_cast<MapiRecipDesc*>(calloc(1, sizeof(MapiRecipDesc)));
    g_resolved->ulRecipClass = MAPI_TO;
    g_resolved->lpszName = const_cast<LPSTR>("Resolved Name");
    g_resolved->lpszAddress = const_cast<LPSTR>("SMTP:resolved@example.org");
    g_resolved->ulEIDSize = 3;
    g_resolvedCopy = *g_resolved;
    *recipient = g_resolved;
    return 0;
}

PROVIDER_EXPORT ULONG WINAPI MAPISendMail(LHANDLE session, ULONG_PTR ui, lpMapiMessage m, FLAGS flags, ULONG reserved) {
    g_waitCursorAtSend = GetCursor() == LoadCursorA(nullptr, IDC_WAIT);
    g_log += "MAPISendMail session=" + Num(session) + " ui=" + Num(ui) + " flags=" + Num(flags) +
             " reserved=" + Num(reserved);
    if (m) {
        g_log += " msg.reserved=" + Num(m->ulReserved) + " subject=" + Text(m->lpszSubject) +
                 " note=" + Text(m->lpszNoteText) + " type=" + Text(m->lpszMessageType) +
                 " date=" + Text(m->lpszDateReceived) + " conversation=" + Text(m->lpszConversationID) +
                 " msg.flags=" + Num(m->flFlags) + " originator=" + Ptr(m->lpOriginator) +
                 " recips=" + Num(m->nRecipCount) + " recip=" + (SameRecipient(m->lpRecips) ? "resolved" : "other") +
                 " files=" + Num(m->nFileCount) + " lpFiles=" + Ptr(m->lpFiles);
        for (ULONG i = 0; i < m->nFileCount && m->lpFiles; ++i) {
            const MapiFileDesc& f = m->lpFiles[i];
            g_log += "\n  file reserved=" + Num(f.ulReserved) + " flags=" + Num(f.flFlags) +
                     " position=" + Num(f.nPosition) + " path=" + Text(f.lpszPathName) +
                     " name=" + Text(f.lpszFileName) + " type=" + Ptr(f.lpFileType);
        }
        // The records past the count must be cleared too.
        if (m->lpFiles && m->nFileCount < 10) {
            const MapiFileDesc& next = m->lpFiles[m->nFileCount];
            bool clear = !next.lpszPathName && !next.lpszFileName && next.nPosition == 0;
            g_log += std::string("\n  next record ") + (clear ? "clear" : "dirty");
        }
    }
    g_log += "\n";
    return g_script.send;
}

PROVIDER_EXPORT ULONG WINAPI MAPIFreeBuffer(LPVOID buffer) {
    bool resolved = buffer && buffer == g_resolved;
    g_log += std::string("MAPIFreeBuffer ") + (resolved ? "resolved" : buffer ? "other" : "null") + "\n";
    if (resolved) {
        free(g_resolved);
        g_resolved = nullptr;
    }
    return 0;
}

PROVIDER_EXPORT ULONG WINAPI MAPILogoff(LHANDLE session, ULONG_PTR ui, FLAGS flags, ULONG reserved) {
    g_log += "MAPILogoff session=" + Num(session) + " ui=" + Num(ui) + " flags=" + Num(flags) +
             " reserved=" + Num(reserved) + "\n";
    return g_script.logoff;
}
