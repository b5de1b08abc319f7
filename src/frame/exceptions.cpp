// CSimpleTextException and CDescException.

#include "NavoTools/Exceptions.h"

#include "NavoTools/ErrorMessages.h"
#include "NavoTools/Inet.h"
#include "NavoTools/StringIds.h"

namespace {

// Room FormatMessageA gets for a message-module text.
constexpr DWORD kDescriptionChars = 1024;

// The WinInet error range; codes in it may have a text of the library's own.
constexpr LONG kWinInetFirst = 12000;
constexpr LONG kWinInetLast = 12171;

// The description a message module gives for `code`: empty when the module cannot be
// loaded. A module without text for the code replaces `code` with the lookup's error.
CString ModuleDescription(const CString& module, LONG& code) {
    CString description;
    HMODULE handle = LoadLibraryA(module);
    if (!handle) return description;
    char* buffer = description.GetBuffer(int(kDescriptionChars));
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, handle, DWORD(code), 0,
                                  buffer, kDescriptionChars, nullptr);
    // The count it returns is the text's length; on failure the buffer holds nothing of use.
    description.ReleaseBuffer(int(length));
    if (length == 0) {
        code = LONG(GetLastError());
        description.Empty();
    }
    FreeLibrary(handle);
    return description;
}

}  // namespace

CSimpleTextException::CSimpleTextException(CString text) : m_strText(text) {}

CSimpleTextException::CSimpleTextException(UINT textId) { m_strText.LoadString(textId); }

CSimpleTextException::~CSimpleTextException() = default;

BOOL CSimpleTextException::GetErrorMessage(LPSTR buffer, UINT bufferSize, PUINT helpContext) {
    if (helpContext) *helpContext = 0;
    if (m_strText.IsEmpty()) return FALSE;
    UINT needed = UINT(m_strText.GetLength()) + 1;
    UINT count = bufferSize < needed ? bufferSize : needed;
    // A count of 0 writes nothing, not even a terminator.
    if (buffer && count) lstrcpynA(buffer, m_strText, int(count));
    return TRUE;
}

CDescException::CDescException(LONG code) : CSimpleTextException(CString()), m_lCode(code) {}

CDescException::CDescException(LONG code, CString text, CString module)
    : CSimpleTextException(text), m_lCode(code), m_strModule(module) {}

CDescException::CDescException(LONG code, UINT textId, CString module)
    : CSimpleTextException(textId), m_lCode(code), m_strModule(module) {}

CDescException::~CDescException() = default;

BOOL CDescException::GetErrorMessage(LPSTR buffer, UINT bufferSize, PUINT helpContext) {
    if (helpContext) *helpContext = 0;
    CString description;
    // The module is loaded and released anew on every call, so a module replaced on disk
    // between two calls is read afresh.
    if (!m_strModule.IsEmpty()) description = ModuleDescription(m_strModule, m_lCode);
    if (description.IsEmpty()) description = GetSystemErrorMessage(m_lCode);
    if (description.IsEmpty() && m_lCode >= kWinInetFirst && m_lCode <= kWinInetLast)
        description = GetWinInetErrorDescription(DWORD(m_lCode));

    CString message;
    // The sentence and the description are inserted as they are: inserts inside them are
    // not expanded.
    if (m_strText.IsEmpty())
        message.FormatMessage(UINT(IDS_NAVO_CODE_DETAILS), DWORD_PTR(DWORD(m_lCode)), static_cast<LPCSTR>(description));
    else
        message.FormatMessage(UINT(IDS_NAVO_TEXT_CODE_DETAILS), static_cast<LPCSTR>(m_strText), DWORD_PTR(DWORD(m_lCode)),
                              static_cast<LPCSTR>(description));
    UINT needed = UINT(message.GetLength()) + 1;
    UINT count = bufferSize < needed ? bufferSize : needed;
    if (buffer && count) lstrcpynA(buffer, message, int(count));
    return TRUE;
}
