// Code pages. The ANSI, OEM and thread code pages of a Linux process are UTF-8 (65001).
#include <windows.h>

#include <cstring>
#include <string>

namespace {

enum class CodePage { Unsupported, Utf8, AnsiAsUtf8 };

CodePage Classify(UINT cp) {
    if (cp == CP_UTF8) return CodePage::Utf8;
    if (cp == CP_ACP || cp == CP_OEMCP || cp == CP_THREAD_ACP) return CodePage::AnsiAsUtf8;
    return CodePage::Unsupported;
}

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes one sequence at s[i..n). An ill-formed sequence gives kInvalid and consumes its
// maximal valid prefix (at least one byte), so that each ill-formed part becomes one
// U+FFFD, as the platform's converter does.
char32_t DecodeUtf8(const unsigned char* s, size_t n, size_t& i) {
    const unsigned char lead = s[i++];
    if (lead < 0x80) return lead;
    size_t extra;
    char32_t cp;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        cp = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        cp = lead & 0x07;
        if (lead == 0xF0) low = 0x90;   // no overlong forms
        if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return kInvalid;
    }
    for (size_t k = 0; k < extra; ++k) {
        if (i >= n) return kInvalid;
        const unsigned char t = s[i];
        if (k == 0 ? (t < low || t > high) : (t & 0xC0) != 0x80) return kInvalid;
        cp = (cp << 6) | (t & 0x3F);
        ++i;
    }
    return cp;
}

size_t EncodeUtf8(char32_t cp, char* out) {
    if (cp < 0x80) {
        out[0] = char(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = char(0xC0 | (cp >> 6));
        out[1] = char(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = char(0xE0 | (cp >> 12));
        out[1] = char(0x80 | ((cp >> 6) & 0x3F));
        out[2] = char(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | (cp >> 18));
    out[1] = char(0x80 | ((cp >> 12) & 0x3F));
    out[2] = char(0x80 | ((cp >> 6) & 0x3F));
    out[3] = char(0x80 | (cp & 0x3F));
    return 4;
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
    const auto* s = reinterpret_cast<const unsigned char*>(src);
    std::u16string out;
    out.reserve(n);
    for (size_t i = 0; i < n;) {
        char32_t cp = DecodeUtf8(s, n, i);
        if (cp == kInvalid) {
            if (flags & MB_ERR_INVALID_CHARS) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            cp = kReplacement;
        }
        if (cp >= 0x10000) {
            out.push_back(char16_t(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
    }
    if (out.size() > size_t(INT32_MAX)) {
        SetLastError(ERROR_ARITHMETIC_OVERFLOW);
        return 0;
    }
    if (cchDest == 0) return int(out.size());
    if (out.size() > size_t(cchDest)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(dest, out.data(), out.size() * sizeof(WCHAR));
    return int(out.size());
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
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        char32_t cp = src[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (char32_t(src[i + 1]) - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            // A lone surrogate.
            if (flags & WC_ERR_INVALID_CHARS) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            cp = kReplacement;
        }
        char buf[4];
        out.append(buf, EncodeUtf8(cp, buf));
    }
    if (out.size() > size_t(INT32_MAX)) {
        SetLastError(ERROR_ARITHMETIC_OVERFLOW);
        return 0;
    }
    if (cbDest == 0) return int(out.size());
    if (out.size() > size_t(cbDest)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(dest, out.data(), out.size());
    return int(out.size());
}

}  // extern "C"
