// System descriptions of error codes and messages with a details line.
#include "NavoTools/ErrorMessages.h"

#include "NavoTools/StringIds.h"

namespace {
// The system's descriptions are received into a buffer of this many characters,
// terminator included; a longer one counts as none.
constexpr int kDescriptionBuffer = 1024;
}  // namespace

CString GetSystemErrorMessage(LONG code) {
    CString description;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, DWORD(code),
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), description.GetBuffer(kDescriptionBuffer),
                             kDescriptionBuffer, nullptr);
    description.ReleaseBuffer(n ? -1 : 0);
    if (n == 0) description.Empty();
    return description;
}

CString GetErrorMessageWithDetails(CString text, LONG code) {
    CString description = GetSystemErrorMessage(code);
    CString message;
    message.Format(UINT(IDS_NAVO_ERROR_WITH_DETAILS), static_cast<LPCSTR>(text), static_cast<unsigned>(code),
                   static_cast<LPCSTR>(description));
    return message;
}

void ShowError(CString text, LONG code, UINT type) {
    AfxMessageBox(GetErrorMessageWithDetails(text, code), type, 0);
}

void ShowError(UINT textId, LONG code, UINT type) {
    CString text;
    text.LoadString(textId);
    ShowError(text, code, type);
}
