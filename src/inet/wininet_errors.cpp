// GetWinInetErrorDescription and its buffer form: WinInet error codes to sentences of the
// string table.

#include <cstring>

#include "NavoTools/Inet.h"
#include "inet/whole_character_copy.h"

namespace {

// The codes with a text come in four runs, each numbered consecutively in the string
// table; IDs 8048-8056 belong to no code.
struct CodeRun {
    DWORD first;
    DWORD last;
    UINT firstId;
};

constexpr CodeRun kCodeRuns[] = {
    {12001, 12033, 8005},  // ERROR_INTERNET_OUT_OF_HANDLES .. INVALID_PROXY_REQUEST
    {12036, 12043, 8038},  // ERROR_INTERNET_HANDLE_EXISTS .. POST_IS_NON_SECURE
    {12110, 12111, 8046},  // ERROR_FTP_TRANSFER_IN_PROGRESS, ERROR_FTP_DROPPED
    {12150, 12156, 8057},  // ERROR_HTTP_HEADER_NOT_FOUND .. REDIRECT_FAILED
};

// 0 when the code has no row.
UINT WinInetStringId(DWORD code) {
    for (const CodeRun& run : kCodeRuns) {
        if (code < run.first) return 0;
        if (code <= run.last) return run.firstId + UINT(code - run.first);
    }
    return 0;
}

}  // namespace

CString GetWinInetErrorDescription(DWORD code) {
    CString description;
    UINT id = WinInetStringId(code);
    // No fallback text: a code without a row gives an empty string.
    if (id) description.LoadString(id);
    return description;
}

int GetWinInetErrorDescriptionVB(DWORD code, char* buffer, int capacity) {
    // A negative capacity is outside the contract; it is refused like 0, so nothing is
    // ever written outside the caller's buffer.
    if (!buffer || capacity <= 0) return 0;
    CString description = GetWinInetErrorDescription(code);
    if (description.IsEmpty()) return 0;
    // Cleared only now that the text is in hand: a failure above leaves the buffer as it was.
    memset(buffer, 0, size_t(capacity));
    navo_inet::CopyWholeCharacters(buffer, description, description.GetLength(), capacity - 1);
    // The platform's convention for this form is all bits set, not 1.
    return -1;
}
