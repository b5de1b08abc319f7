// The insert language of FormatMessage: one bounded expander shared by FormatMessageA,
// NavoFormatMessageArrayA and the fuzz target.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

namespace navo::win32 {

// The longest message the platform produces: its work buffer holds 32768 characters
// with the terminator. Longer results fail with ERROR_INSUFFICIENT_BUFFER.
inline constexpr std::size_t kMaxMessageChars = 32767;

// Where inserts take their values from: an array of known length, or a va_list whose
// arguments are fetched as ULONG_PTR in order and kept for later inserts. Neither set:
// the message has no arguments and any insert is refused.
struct MessageArguments {
    const DWORD_PTR* array = nullptr;
    std::size_t arrayCount = 0;
    va_list* list = nullptr;
};

// What ExpandMessage does with the inserts %1..%99: expands them, or keeps them as they
// stand, along with the escapes of other characters such as %% (FORMAT_MESSAGE_IGNORE_INSERTS).
enum class Inserts { Expand, Ignore };

// Expands `format` (ends at its first NUL or at its end) into `out`: CR, LF and CR LF
// become CR LF (or a space when maxWidth is not 0), %n %r %t %0 %% and the other escapes,
// %1..%99 with an optional !printf-format!, and line wrapping at maxWidth columns
// (0 keeps line breaks, 0xFFFFFFFF never wraps). Returns ERROR_SUCCESS,
// ERROR_INVALID_PARAMETER (bad insert, no arguments, lone % at the end, unsupported
// conversion) or ERROR_INSUFFICIENT_BUFFER (longer than kMaxMessageChars).
[[nodiscard]] DWORD ExpandMessage(std::string_view format, DWORD maxWidth, Inserts inserts,
                                  MessageArguments& arguments, std::string& out);

// Finds message `id` in a message-table resource (MESSAGE_RESOURCE_DATA) of `size` bytes
// and stores its text as UTF-8 (Unicode entries are converted). ERROR_MR_MID_NOT_FOUND
// when no block holds the ID, ERROR_INVALID_DATA when a block or entry lies outside the
// bytes.
[[nodiscard]] DWORD ReadMessageTable(const unsigned char* data, std::size_t size, DWORD id, std::string& text);

}  // namespace navo::win32
