// SendMail: one message through the Simple MAPI provider, with the client's dialog.

#include "NavoTools/Mail.h"

#include <mapi.h>

#include <cstring>

#include "NavoTools/ErrorMessages.h"
#include "NavoTools/Exceptions.h"
#include "NavoTools/StringIds.h"

namespace {

constexpr int kMaxAttachments = 10;

// Shows the application's wait cursor for the lifetime of the object, however the scope
// is left.
class WaitCursor {
public:
    WaitCursor() : app_(AfxGetApp()) {
        if (app_) app_->BeginWaitCursor();
    }
    ~WaitCursor() {
        if (app_) app_->EndWaitCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    CWinApp* app_;
};

[[noreturn]] void Throw(const CString& text) { throw new CSimpleTextException(text); }

CString Row(UINT id) {
    CString text;
    text.LoadString(id);
    return text;
}

// The text a provider may give for its last MAPISendMail: this project's Linux provider
// exports it; Windows' MAPI32.DLL and other providers do not.
using NavoMapiGetLastText = ULONG(WINAPI*)(LPSTR buffer, ULONG size);

// The five functions of the provider, looked up by name in this order, and the optional
// sixth.
struct Provider {
    LPMAPILOGON logon = nullptr;
    LPMAPISENDMAIL sendMail = nullptr;
    LPMAPIRESOLVENAME resolveName = nullptr;
    LPMAPILOGOFF logoff = nullptr;
    LPMAPIFREEBUFFER freeBuffer = nullptr;
    NavoMapiGetLastText lastText = nullptr;
};

template <typename F>
F Lookup(HMODULE module, const char* name) {
    FARPROC proc = GetProcAddress(module, name);
    if (!proc) {
        CString text;
        text.Format("The mail provider MAPI32.DLL has no function %s: no mail was sent.", name);
        Throw(text);
    }
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(proc));
}

Provider LoadProvider() {
    // Loaded afresh on every call and never released: the provider stays for the process.
    HMODULE module = LoadLibraryA("MAPI32.DLL");
    if (!module) {
        DWORD code = GetLastError();
        CString text;
        text.Format("The mail provider MAPI32.DLL cannot be loaded: no mail was sent.\n\nDetails: [0x%08X] %s",
                    unsigned(code), static_cast<LPCSTR>(GetSystemErrorMessage(LONG(code))));
        Throw(text);
    }
    Provider p;
    p.logon = Lookup<LPMAPILOGON>(module, "MAPILogon");
    p.sendMail = Lookup<LPMAPISENDMAIL>(module, "MAPISendMail");
    p.resolveName = Lookup<LPMAPIRESOLVENAME>(module, "MAPIResolveName");
    p.logoff = Lookup<LPMAPILOGOFF>(module, "MAPILogoff");
    p.freeBuffer = Lookup<LPMAPIFREEBUFFER>(module, "MAPIFreeBuffer");
    if (FARPROC proc = GetProcAddress(module, "NavoMAPIGetLastText"))
        p.lastText = reinterpret_cast<NavoMapiGetLastText>(reinterpret_cast<void (*)()>(proc));
    return p;
}

// The provider's own words on why the send failed, where it has any.
CString ProviderText(const Provider& mapi) {
    CString text;
    if (!mapi.lastText) return text;
    ULONG length = mapi.lastText(nullptr, 0);
    if (length == 0 || length > 65536) return text;
    mapi.lastText(text.GetBuffer(int(length) + 1), length + 1);
    text.ReleaseBuffer();
    return text;
}

bool SimpleMapiAvailable() {
    char value[16] = {};
    GetPrivateProfileStringA("MAIL", "MAPI", "0", value, sizeof value, "WIN.INI");
    return strcmp(value, "0") != 0;
}

// The name an attachment shows: the path's base name and extension, as _splitpath gives
// them (the last component of the path; empty after a trailing separator).
CString AttachmentName(LPCSTR path) {
    char drive[_MAX_DRIVE], dir[_MAX_DIR], name[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(path, drive, dir, name, ext);
    CString result(name);
    result += ext;
    return result;
}

}  // namespace

void SendMail(CString recipient, CString subject, CString noteText, const CStringArray& attachments) {
    WaitCursor cursor;
    if (!SimpleMapiAvailable()) return;
    Provider mapi = LoadProvider();

    LHANDLE session = 0;
    ULONG code = mapi.logon(0, nullptr, nullptr, MAPI_LOGON_UI, 0, &session);
    if (code != SUCCESS_SUCCESS) {
        CString details;
        if (code == MAPI_E_LOGIN_FAILURE) details = Row(IDS_NAVO_MAPI_LOGIN_FAILURE);
        else if (code == MAPI_USER_ABORT) details = Row(IDS_NAVO_MAPI_USER_ABORT);
        CString text;
        text.FormatMessage(UINT(IDS_NAVO_MAPI_LOGON_FAILED), DWORD_PTR(code), static_cast<LPCSTR>(details));
        Throw(text);
    }
    // From here on a failure closes the session before it throws; a logoff that fails
    // then is not what the caller is told about.
    auto closeAndThrow = [&](const CString& text) {
        mapi.logoff(session, 0, MAPI_LOGON_UI, 0);
        Throw(text);
    };

    MapiMessage message;
    memset(&message, 0, sizeof message);
    lpMapiRecipDesc recip = nullptr;
    code = mapi.resolveName(session, 0, const_cast<LPSTR>(static_cast<LPCSTR>(recipient)), MAPI_LOGON_UI, 0, &recip);
    if (code != SUCCESS_SUCCESS) {
        CString text;
        text.FormatMessage(UINT(IDS_NAVO_MAPI_RESOLVE_FAILED), static_cast<LPCSTR>(recipient), DWORD_PTR(code));
        closeAndThrow(text);
    }

    MapiFileDesc files[kMaxAttachments];
    memset(files, 0, sizeof files);
    message.nRecipCount = 1;
    message.lpRecips = recip;
    // Owns the names that the file records point into until the session is closed.
    CStringArray names;
    int count = 0;
    for (; count < attachments.GetSize() && count < kMaxAttachments; ++count) {
        LPCSTR path = attachments[count];
        names.Add(AttachmentName(path));
        files[count].lpszFileName = const_cast<LPSTR>(static_cast<LPCSTR>(names[count]));
        files[count].lpszPathName = const_cast<LPSTR>(path);
        files[count].nPosition = 0;
    }
    message.lpszSubject = const_cast<LPSTR>(static_cast<LPCSTR>(subject));
    message.lpszNoteText = const_cast<LPSTR>(static_cast<LPCSTR>(noteText));
    message.nFileCount = ULONG(count);
    message.lpFiles = files;

    code = mapi.sendMail(session, 0, &message, MAPI_DIALOG, 0);
    // Released whatever the send gave, before its result is looked at.
    mapi.freeBuffer(recip);
    if (code != SUCCESS_SUCCESS) {
        CString details;
        if (code == MAPI_USER_ABORT) details = Row(IDS_NAVO_MAPI_USER_ABORT);
        else details = ProviderText(mapi);
        CString text;
        text.FormatMessage(UINT(IDS_NAVO_MAPI_SEND_FAILED), DWORD_PTR(code), static_cast<LPCSTR>(details));
        closeAndThrow(text);
    }

    code = mapi.logoff(session, 0, MAPI_LOGON_UI, 0);
    if (code != SUCCESS_SUCCESS) {
        CString text;
        text.FormatMessage(UINT(IDS_NAVO_MAPI_LOGOFF_FAILED), DWORD_PTR(code));
        Throw(text);
    }
}
