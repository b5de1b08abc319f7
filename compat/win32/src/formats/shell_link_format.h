// The shell link binary file format (.LNK): a writer and a bounded reader.
//
// The writer produces the published layout: the 76-byte header with the shell link class
// identifier, a LinkInfo with a volume record and the local base path, the StringData in
// UTF-16 and the terminal extra-data block. The reader accepts any well-formed link,
// written here or elsewhere: it checks every size and offset against the bytes that remain
// before it uses them, and reports a malformed link as an error value.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "formats/byte_reader.h"

namespace navo::win32 {

// What a link holds. Texts are in the ANSI code page (UTF-8), always well formed: the
// reader turns ill-formed 8-bit text of other writers into U+FFFD.
struct ShellLinkData {
    std::string target;      // the local base path (with its common suffix)
    std::string description; // NAME_STRING
    std::string relativePath;
    std::string workingDirectory;
    std::string arguments;
    std::string iconLocation;
    int iconIndex = 0;
    int showCommand = 1;  // SW_SHOWNORMAL
    WORD hotkey = 0;
    DWORD fileAttributes = 0;
    ULONGLONG creationTime = 0;  // FILETIME values: 100 ns since 1601
    ULONGLONG accessTime = 0;
    ULONGLONG writeTime = 0;
    DWORD fileSize = 0;
};

inline constexpr DWORD kShellLinkHeaderSize = 0x4C;
// A link file larger than this is refused before it is read.
inline constexpr size_t kShellLinkMaxFileSize = 16u << 20;
// A StringData entry carries a 16-bit count of characters.
inline constexpr size_t kShellLinkMaxStringUnits = 0xFFFF;

// The bytes of the link. An error when a text does not fit a StringData count or is not
// valid in the ANSI code page.
[[nodiscard]] Expected<std::vector<BYTE>> WriteShellLink(const ShellLinkData& link);

[[nodiscard]] Expected<ShellLinkData> ReadShellLink(ByteView bytes);

// Text in the ANSI code page as the link keeps it: ill-formed bytes become U+FFFD.
std::string FromAnsi(const std::string& text);

}  // namespace navo::win32
