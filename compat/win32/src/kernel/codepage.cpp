// Code pages. The ANSI, OEM and thread code pages of a Linux process are UTF-8 (65001).
#include <windows.h>

#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "formats/utf.h"

namespace {

enum class CodePage { Unsupported, Utf8, AnsiAsUtf8 };

CodePage Classify(UINT cp) {
    if (cp == CP_UTF8) return CodePage::Utf8;
    if (cp == CP_ACP || cp == CP_OEMCP || cp == CP_THREAD_ACP) return CodePage::AnsiAsUtf8;
    return CodePage::Unsupported;
}

// What the caller's flags ask for: each ill-formed part (a maximal invalid UTF-8 part, a
// lone surrogate) becomes one U+FFFD, as the platform's converter does, or fails the call.
enum class IllFormed { kReplace, kFail };

std::optional<std::u16string> Convert(std::string_view text, IllFormed illFormed) {
    if (illFormed == IllFormed::kFail) return navo::win32::utf::ToUtf16(text, navo::win32::utf::kStrict);
    return navo::win32::utf::ToUtf16(text, navo::win32::utf::kReplace);
}

std::optional<std::string> Convert(std::u16string_view units, IllFormed illFormed) {
    if (illFormed == IllFormed::kFail) return navo::win32::utf::ToUtf8(units, navo::win32::utf::kStrict);
    return navo::win32::utf::ToUtf8(units, navo::win32::utf::kReplace);
}

// Hands the converted text to the caller: its length in units when `room` is 0, else the
// units copied into dest[0, room).
template <typename Text, typename Unit>
int Deliver(const Text& out, Unit* dest, int room) {
    if (out.size() > size_t(INT32_MAX)) {
        SetLastError(ERROR_ARITHMETIC_OVERFLOW);
        return 0;
    }
    if (room == 0) return int(out.size());
    if (out.size() > size_t(room)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(dest, out.data(), out.size() * sizeof(Unit));
    return int(out.size());
}

}  // namespace

extern "C" {

UINT WINAPI GetACP() { return CP_UTF8; }
UINT WINAPI GetOEMCP() { return CP_UTF8; }

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int cbSrc, LPWSTR dest, int cchDest) {
    // The platform checks the buffers first, then the code page, then the flags.
    if (!src || cbSrc == 0 || cchDest < 0 || (cchDest > 0 && !dest)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const CodePage kind = Classify(codePage);
    if (kind == CodePage::Unsupported) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // CP_UTF8 takes no flag but MB_ERR_INVALID_CHARS; the ANSI code pages also take the
    // composition flags, which change nothing for UTF-8 text here.
    DWORD allowed = MB_ERR_INVALID_CHARS;
    if (kind == CodePage::AnsiAsUtf8) allowed |= MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS;
    if (flags & ~allowed) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    const size_t n = cbSrc < 0 ? strlen(src) + 1 : size_t(cbSrc);
    auto out = Convert(std::string_view(src, n), flags & MB_ERR_INVALID_CHARS ? IllFormed::kFail : IllFormed::kReplace);
    if (!out) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    return Deliver(*out, dest, cchDest);
}

int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int cchSrc, LPSTR dest, int cbDest,
                               LPCSTR defaultChar, LPBOOL usedDefaultChar) {
    if (!src || cchSrc == 0 || cbDest < 0 || (cbDest > 0 && !dest)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const CodePage kind = Classify(codePage);
    // UTF-8 has no default character: asking for one is an invalid parameter.
    if (kind == CodePage::Unsupported || defaultChar || usedDefaultChar) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD allowed = WC_ERR_INVALID_CHARS;
    if (kind == CodePage::AnsiAsUtf8) allowed |= WC_NO_BEST_FIT_CHARS;
    if (flags & ~allowed) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    size_t n = 0;
    if (cchSrc < 0) {
        while (src[n]) ++n;
        ++n;
    } else {
        n = size_t(cchSrc);
    }
    auto out =
        Convert(std::u16string_view(src, n), flags & WC_ERR_INVALID_CHARS ? IllFormed::kFail : IllFormed::kReplace);
    if (!out) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    return Deliver(*out, dest, cbDest);
}

}  // extern "C"
