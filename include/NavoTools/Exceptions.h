// Exceptions in MFC's style: thrown as pointers, caught as CException*, disposed of with
// Delete(). Neither class has a run-time class record of its own; both report
// CException's.
#pragma once

#include <afxwin.h>

#include "NavoTools/Export.h"

// A finished message text.
class NAVOTOOLS_API CSimpleTextException : public CException {
public:
    explicit CSimpleTextException(CString text);
    // The text of a string-table row, loaded through the resource chain; an ID that no
    // module holds leaves the text empty.
    explicit CSimpleTextException(UINT textId);
    ~CSimpleTextException() override;

    // Stores 0 through a non-null helpContext. With an empty text returns FALSE and leaves
    // the buffer untouched; otherwise copies at most bufferSize - 1 characters and a
    // terminator (nothing when bufferSize is 0) and returns TRUE.
    BOOL GetErrorMessage(LPSTR buffer, UINT bufferSize, PUINT helpContext = nullptr) override;

    CString m_strText;
};

// An error code with an optional sentence and an optional message module, a library
// whose message table describes the code. The text is composed when asked for:
//   "[0x<code>] <description>"                         without a sentence,
//   "<sentence>\n\nDetails: [0x<code>] <description>"  with one,
// the description coming from the message module, else the system's message table, else
// (codes 12000-12171) the WinInet texts. A message module that is loaded but has no text
// for the code replaces m_lCode with the lookup's error (ERROR_MR_MID_NOT_FOUND, 317),
// and the details line then shows that code, on this and every later call.
class NAVOTOOLS_API CDescException : public CSimpleTextException {
public:
    explicit CDescException(LONG code);
    CDescException(LONG code, CString text, CString module);
    CDescException(LONG code, UINT textId, CString module);
    ~CDescException() override;

    // Composes the message and copies at most bufferSize - 1 characters and a terminator;
    // returns TRUE, also when no source had a description (the message then ends "] ").
    BOOL GetErrorMessage(LPSTR buffer, UINT bufferSize, PUINT helpContext = nullptr) override;

    LONG m_lCode;
    CString m_strModule;
};
