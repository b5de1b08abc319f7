// IDs of the rows of the library's string table (languages 1033 and 1042; 1042 lacks
// the mail rows 8101-8106). IDs 8000, 8048-8056, 8097-8100 and 8107-8111 have no row.
#pragma once

// Error messages.
#define IDS_NAVO_ERROR_WITH_DETAILS 8001   // "%s\n\nDetails: [0x%08X] %s" (printf)
#define IDS_NAVO_CANNOT_RUN 8002           // "Cannot run %s" (printf)
#define IDS_NAVO_CODE_DETAILS 8003         // "[0x%1!08X!] %2" (inserts)
#define IDS_NAVO_TEXT_CODE_DETAILS 8004    // "%1\n\nDetails: [0x%2!08X!] %3" (inserts)

// WinInet error descriptions: 12001-12033 -> 8005-8037, 12036-12043 -> 8038-8045,
// 12110-12111 -> 8046-8047, 12150-12156 -> 8057-8063.
#define IDS_NAVO_WININET_FIRST 8005
#define IDS_NAVO_WININET_LAST 8063

// HTTP status descriptions, 8064-8095, and their fallback.
#define IDS_NAVO_HTTP_FIRST 8064
#define IDS_NAVO_HTTP_NO_DESCRIPTION 8096  // "No description available"

// Simple MAPI mail sending.
#define IDS_NAVO_MAPI_LOGON_FAILED 8101    // "MAPI Logon failed.\n\nDetails: [0x%1!08X!] %2"
#define IDS_NAVO_MAPI_LOGIN_FAILURE 8102
#define IDS_NAVO_MAPI_RESOLVE_FAILED 8103  // "Error of resolving address '%1'.\n\nDetails: [0x%2!08X!]"
#define IDS_NAVO_MAPI_SEND_FAILED 8104     // "Error of sending a mail.\n\nDetails: [0x%1!08X!] %2"
#define IDS_NAVO_MAPI_LOGOFF_FAILED 8105   // "MAPI Logoff failed.\n\nDetails: [0x%1!08X!]"
#define IDS_NAVO_MAPI_USER_ABORT 8106

#define IDS_NAVO_FIRST_ROW 8001
#define IDS_NAVO_LAST_ROW 8106
