// The system message table: the text FormatMessage gives for FORMAT_MESSAGE_FROM_SYSTEM.
#pragma once

#include <windows.h>

namespace navo::win32 {

// The language of every text in the system table: English (United States).
inline constexpr LANGID kSystemMessageLanguage = 0x0409;

// The text of system message `id` for `language`, each ending in CR LF like the
// platform's; some contain inserts (%1). Null when there is none, with *error set to
// ERROR_RESOURCE_LANG_NOT_FOUND (the language is not offered, checked first, as the
// platform finds the table's language before the message) or ERROR_MR_MID_NOT_FOUND.
[[nodiscard]] const char* FindSystemMessage(DWORD id, LANGID language, DWORD* error);

}  // namespace navo::win32
