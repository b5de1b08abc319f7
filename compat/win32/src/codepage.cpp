// Code pages. The ANSI and OEM code pages of a Linux process are UTF-8 (65001).
#include <windows.h>

#include <string>

namespace {

bool IsUtf8CodePage(UINT cp) { return cp == CP_ACP || cp == CP_OEMCP || cp == CP_THREAD_ACP || cp == CP_UTF8; }

// Decodes one UTF-8 sequence at s[i..n); returns the code point or -1 for an invalid or
// truncated sequence (then one byte is consumed).
long DecodeUtf8(const unsigned char* s, int n, int& i) {
    unsigned char c = s[i];
    if (c < 0x80) {
        ++i;
        return c;
    }
    int extra;
    long cp, min;
    if (c >= 0xC2 && c <= 0xDF) extra = 1, cp = c & 0x1F, min = 0x80;
    else if (c >= 0xE0 && c <= 0xEF) extra = 2, cp = c & 0x0F, min = 0x800;
    else if (c >= 0xF0 && c <= 0xF4) extra = 3, cp = c & 0x07, min = 0x10000;
    else {
        ++i;
        return -1;
    }
    if (n - i <= extra) {
        ++i;
        return -1;
    }
    for (int k = 1; k <= extra; ++k) {
        unsigned char t = s[i + k];
        if ((t & 0xC0) != 0x80) {
            ++i;
            return -1;
        }
        cp = (cp << 6) | (t & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return -1;
    }
    i += extra + 1;
    return cp;
}

int EncodeUtf8(unsigned long cp, char* out) {
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
    if (!IsUtf8CodePage(codePage)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!src || cbSrc == 0 || cchDest < 0 || (cchDest > 0 && !dest)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (flags & ~DWORD(MB_ERR_INVALID_CHARS | MB_PRECOMPOSED)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    int n = cbSrc < 0 ? lstrlenA(src) + 1 : cbSrc;
    const auto* s = reinterpret_cast<const unsigned char*>(src);
    std::u16string out;
    for (int i = 0; i < n;) {
        long cp = DecodeUtf8(s, n, i);
        if (cp < 0) {
            if (flags & MB_ERR_INVALID_CHARS) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            cp = 0xFFFD;
        }
        if (cp >= 0x10000) {
            out.push_back(char16_t(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
    }
    if (cchDest == 0) return int(out.size());
    if (out.size() > size_t(cchDest)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    out.copy(reinterpret_cast<char16_t*>(dest), out.size());
    return int(out.size());
}

int WINAPI WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR src, int cchSrc, LPSTR dest, int cbDest, LPCSTR,
                               LPBOOL usedDefaultChar) {
    if (!IsUtf8CodePage(codePage) || !src || cchSrc == 0 || cbDest < 0 || (cbDest > 0 && !dest) ||
        (codePage == CP_UTF8 && usedDefaultChar)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (usedDefaultChar) *usedDefaultChar = FALSE;
    int n = cchSrc;
    if (n < 0) {
        n = 0;
        while (src[n]) ++n;
        ++n;
    }
    std::string out;
    for (int i = 0; i < n; ++i) {
        unsigned long cp = src[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (src[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // a lone surrogate
        }
        char buf[4];
        out.append(buf, size_t(EncodeUtf8(cp, buf)));
    }
    if (cbDest == 0) return int(out.size());
    if (out.size() > size_t(cbDest)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    out.copy(dest, out.size());
    return int(out.size());
}

}  // extern "C"
