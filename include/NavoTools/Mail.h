// Mail through Simple MAPI.
#pragma once

#include <afxwin.h>
#include <afxcoll.h>

#include "NavoTools/Export.h"

// Hands one message to the user's mail client through Simple MAPI (MAPI32.DLL, loaded at
// run time), with the client's dialog so that the user reviews and sends it. The
// recipient is resolved by the provider; the first ten attachment paths are attached
// under their file names, the rest ignored.
//
// Returns at once, doing nothing, when WIN.INI's [MAIL] MAPI is missing or "0". Every
// failure throws a CSimpleTextException* (catch it as CException* and Delete() it): a
// failed logon (row 8101, with the reason for codes 1 and 3), an unresolved recipient
// (8103), a failed or cancelled send (8104, with the provider's own reason where it gives
// one through NavoMAPIGetLastText), a failed logoff (8105), and a provider that
// cannot be loaded or lacks one of its five functions. The application's wait cursor is
// shown throughout and ended on every way out; a session that was opened is closed on the
// failure paths too.
NAVOTOOLS_API void SendMail(CString recipient, CString subject, CString noteText, const CStringArray& attachments);
