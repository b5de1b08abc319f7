// CString: a counted, growable byte string with value semantics.
//
// The buffer always holds m_nLength bytes followed by a zero byte, so the string can be
// handed out as a C string; an empty string points at a shared empty literal and owns no
// storage. Every allocation goes through Reserve, which raises CMemoryException on failure.
#include <afxwin.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// "No work was done": what FormatMessageA reports for an empty result. Older SDK headers
// (mingw-w64's among them) lack the name.
#ifndef ERROR_NO_WORK_DONE
#define ERROR_NO_WORK_DONE 235L
#endif

namespace {

char g_empty[1] = {0};

// Lengths are ints of at most INT_MAX - 1 (room for the terminator). Every sum of lengths
// goes through these, which raise CMemoryException where the sum would not fit, before
// anything is added: no length ever overflows.
int CheckedLength(size_t n) {
    if (n > size_t(INT_MAX - 1)) AfxThrowMemoryException();
    return int(n);
}

int CheckedSum(int a, int b) {
    if (a < 0 || b < 0 || a > INT_MAX - 1 - b) AfxThrowMemoryException();
    return a + b;
}

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

CString::CString() noexcept : m_pchData(g_empty), m_nLength(0), m_nAlloc(0) {}

CString::CString(const CString& other) : CString() { Assign(other.m_pchData, other.m_nLength); }

CString::CString(CString&& other) noexcept
    : m_pchData(other.m_pchData), m_nLength(other.m_nLength), m_nAlloc(other.m_nAlloc) {
    other.m_pchData = g_empty;
    other.m_nLength = 0;
    other.m_nAlloc = 0;
}

CString::CString(LPCSTR text) : CString() {
    if (text && IS_INTRESOURCE(text)) {
        LoadString(LOWORD(reinterpret_cast<ULONG_PTR>(text)));
        return;
    }
    if (text) Assign(text, CheckedLength(strlen(text)));
}

CString::CString(LPCSTR text, int length) : CString() {
    if (text && length > 0) Assign(text, length);
}

CString::CString(char ch, int repeat) : CString() {
    if (repeat <= 0) return;
    Reserve(repeat);
    memset(m_pchData, ch, size_t(repeat));
    m_nLength = repeat;
    m_pchData[repeat] = 0;
}

CString::~CString() {
    if (m_nAlloc) free(m_pchData);
}

CString& CString::operator=(const CString& other) {
    if (this != &other) Assign(other.m_pchData, other.m_nLength);
    return *this;
}

CString& CString::operator=(CString&& other) noexcept {
    if (this != &other) {
        if (m_nAlloc) free(m_pchData);
        m_pchData = other.m_pchData;
        m_nLength = other.m_nLength;
        m_nAlloc = other.m_nAlloc;
        other.m_pchData = g_empty;
        other.m_nLength = 0;
        other.m_nAlloc = 0;
    }
    return *this;
}

CString& CString::operator=(LPCSTR text) {
    if (!text) {
        Empty();
    } else if (IS_INTRESOURCE(text)) {
        LoadString(LOWORD(reinterpret_cast<ULONG_PTR>(text)));
    } else {
        Assign(text, CheckedLength(strlen(text)));
    }
    return *this;
}

CString& CString::operator=(char ch) {
    Assign(&ch, 1);
    return *this;
}

CString& CString::operator+=(const CString& other) {
    Append(other.m_pchData, other.m_nLength);
    return *this;
}

CString& CString::operator+=(LPCSTR text) {
    if (text) Append(text, CheckedLength(strlen(text)));
    return *this;
}

CString& CString::operator+=(char ch) {
    AppendChar(ch);
    return *this;
}

void CString::Empty() noexcept {
    if (m_nAlloc) free(m_pchData);
    m_pchData = g_empty;
    m_nLength = 0;
    m_nAlloc = 0;
}

// Makes room for `capacity` bytes and a terminator, keeping the contents.
void CString::Reserve(int capacity) {
    if (capacity < 0 || capacity > INT_MAX - 1) AfxThrowMemoryException();
    if (capacity <= m_nAlloc) return;
    // Grow geometrically so that repeated appends stay linear.
    long long grown = static_cast<long long>(m_nAlloc) + (m_nAlloc >> 1);
    int target = capacity;
    if (m_nAlloc && grown > capacity) target = grown > INT_MAX - 1 ? INT_MAX - 1 : int(grown);
    char* data = static_cast<char*>(m_nAlloc ? realloc(m_pchData, size_t(target) + 1) : malloc(size_t(target) + 1));
    if (!data) AfxThrowMemoryException();
    if (!m_nAlloc) data[0] = 0;
    m_pchData = data;
    m_nAlloc = target;
}

void CString::Assign(LPCSTR text, int length) {
    if (length <= 0) {
        if (m_nAlloc) {
            m_nLength = 0;
            m_pchData[0] = 0;
        }
        return;
    }
    // The source may lie inside this string's own buffer.
    if (text >= m_pchData && text < m_pchData + m_nLength + 1 && m_nAlloc) {
        memmove(m_pchData, text, size_t(length));
    } else {
        if (length > m_nAlloc) {
            char* data = static_cast<char*>(malloc(size_t(length) + 1));
            if (!data) AfxThrowMemoryException();
            if (m_nAlloc) free(m_pchData);
            m_pchData = data;
            m_nAlloc = length;
        }
        memcpy(m_pchData, text, size_t(length));
    }
    m_nLength = length;
    m_pchData[length] = 0;
}

void CString::Append(LPCSTR text, int length) {
    if (!text || length <= 0) return;
    if (CheckedSum(m_nLength, length) > m_nAlloc) {
        // Appending a piece of this very string: keep an offset across the reallocation.
        bool inside = m_nAlloc && text >= m_pchData && text < m_pchData + m_nLength;
        ptrdiff_t offset = text - m_pchData;
        Reserve(m_nLength + length);
        if (inside) text = m_pchData + offset;
    }
    memmove(m_pchData + m_nLength, text, size_t(length));
    m_nLength += length;
    m_pchData[m_nLength] = 0;
}

void CString::AppendChar(char ch) {
    if (m_nLength >= m_nAlloc) Reserve(CheckedSum(m_nLength, 1));
    m_pchData[m_nLength++] = ch;
    m_pchData[m_nLength] = 0;
}

char CString::GetAt(int index) const {
    if (index < 0 || index >= m_nLength) AfxThrowInvalidArgException();
    return m_pchData[index];
}

void CString::SetAt(int index, char ch) {
    if (index < 0 || index >= m_nLength) AfxThrowInvalidArgException();
    m_pchData[index] = ch;
}

int CString::Compare(LPCSTR other) const { return strcmp(m_pchData, other ? other : ""); }

int CString::CompareNoCase(LPCSTR other) const { return strcasecmp(m_pchData, other ? other : ""); }

CString CString::Mid(int first) const { return Mid(first, m_nLength - (first < 0 ? 0 : first)); }

CString CString::Mid(int first, int count) const {
    if (first < 0) first = 0;
    if (count < 0) count = 0;
    if (first > m_nLength) first = m_nLength;
    if (count > m_nLength - first) count = m_nLength - first;
    return CString(m_pchData + first, count);
}

CString CString::Left(int count) const { return Mid(0, count); }

CString CString::Right(int count) const {
    if (count < 0) count = 0;
    if (count > m_nLength) count = m_nLength;
    return CString(m_pchData + m_nLength - count, count);
}

int CString::Find(char ch) const { return Find(ch, 0); }

int CString::Find(char ch, int start) const {
    if (start < 0) start = 0;
    if (start >= m_nLength) return -1;
    const void* p = memchr(m_pchData + start, static_cast<unsigned char>(ch), size_t(m_nLength - start));
    return p ? int(static_cast<const char*>(p) - m_pchData) : -1;
}

int CString::Find(LPCSTR sub) const { return Find(sub, 0); }

int CString::Find(LPCSTR sub, int start) const {
    if (!sub) return -1;
    if (start < 0) start = 0;
    if (start > m_nLength) return -1;
    size_t n = strlen(sub);
    if (n == 0) return start;
    for (int i = start; size_t(m_nLength - i) >= n; ++i) {
        const void* p = memchr(m_pchData + i, static_cast<unsigned char>(sub[0]), size_t(m_nLength - i) - n + 1);
        if (!p) return -1;
        i = int(static_cast<const char*>(p) - m_pchData);
        if (memcmp(m_pchData + i, sub, n) == 0) return i;
    }
    return -1;
}

int CString::ReverseFind(char ch) const {
    for (int i = m_nLength - 1; i >= 0; --i)
        if (m_pchData[i] == ch) return i;
    return -1;
}

int CString::Delete(int index, int count) {
    if (index < 0) index = 0;
    if (count <= 0 || index >= m_nLength) return m_nLength;
    if (count > m_nLength - index) count = m_nLength - index;
    memmove(m_pchData + index, m_pchData + index + count, size_t(m_nLength - index - count) + 1);
    m_nLength -= count;
    return m_nLength;
}

int CString::Insert(int index, char ch) { return Insert(index, CString(ch, 1)); }

int CString::Insert(int index, LPCSTR text) {
    if (!text) return m_nLength;
    CString piece(text);  // text may point into this string
    if (index < 0) index = 0;
    if (index > m_nLength) index = m_nLength;
    int n = piece.m_nLength;
    if (n == 0) return m_nLength;
    Reserve(CheckedSum(m_nLength, n));
    memmove(m_pchData + index + n, m_pchData + index, size_t(m_nLength - index) + 1);
    memcpy(m_pchData + index, piece.m_pchData, size_t(n));
    m_nLength += n;
    return m_nLength;
}

int CString::Replace(char oldCh, char newCh) {
    int count = 0;
    for (int i = 0; i < m_nLength; ++i)
        if (m_pchData[i] == oldCh) {
            m_pchData[i] = newCh;
            ++count;
        }
    return count;
}

int CString::Replace(LPCSTR oldText, LPCSTR newText) {
    if (!oldText || !*oldText) return 0;
    int oldLen = CheckedLength(strlen(oldText));
    CString result;
    int count = 0, pos = 0;
    for (int hit; (hit = Find(oldText, pos)) >= 0; pos = hit + oldLen) {
        result.Append(m_pchData + pos, hit - pos);
        result += newText;
        ++count;
    }
    if (count) {
        result.Append(m_pchData + pos, m_nLength - pos);
        *this = static_cast<CString&&>(result);
    }
    return count;
}

int CString::Remove(char ch) {
    int out = 0;
    for (int i = 0; i < m_nLength; ++i)
        if (m_pchData[i] != ch) m_pchData[out++] = m_pchData[i];
    int removed = m_nLength - out;
    m_nLength = out;
    if (m_nAlloc) m_pchData[out] = 0;
    return removed;
}

CString& CString::TrimRight() {
    int n = m_nLength;
    while (n > 0 && IsSpace(m_pchData[n - 1])) --n;
    if (n != m_nLength) {
        m_nLength = n;
        m_pchData[n] = 0;
    }
    return *this;
}

CString& CString::TrimRight(char target) {
    int n = m_nLength;
    while (n > 0 && m_pchData[n - 1] == target) --n;
    if (n != m_nLength) {
        m_nLength = n;
        m_pchData[n] = 0;
    }
    return *this;
}

CString& CString::TrimRight(LPCSTR targets) {
    if (!targets) return *this;
    int n = m_nLength;
    while (n > 0 && m_pchData[n - 1] && strchr(targets, m_pchData[n - 1])) --n;
    if (n != m_nLength) {
        m_nLength = n;
        m_pchData[n] = 0;
    }
    return *this;
}

CString& CString::TrimLeft() {
    int n = 0;
    while (n < m_nLength && IsSpace(m_pchData[n])) ++n;
    Delete(0, n);
    return *this;
}

CString& CString::TrimLeft(char target) {
    int n = 0;
    while (n < m_nLength && m_pchData[n] == target) ++n;
    Delete(0, n);
    return *this;
}

CString& CString::TrimLeft(LPCSTR targets) {
    if (!targets) return *this;
    int n = 0;
    while (n < m_nLength && m_pchData[n] && strchr(targets, m_pchData[n])) ++n;
    Delete(0, n);
    return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }

CString& CString::MakeUpper() {
    for (int i = 0; i < m_nLength; ++i)
        if (m_pchData[i] >= 'a' && m_pchData[i] <= 'z') m_pchData[i] = char(m_pchData[i] - 'a' + 'A');
    return *this;
}

CString& CString::MakeLower() {
    for (int i = 0; i < m_nLength; ++i)
        if (m_pchData[i] >= 'A' && m_pchData[i] <= 'Z') m_pchData[i] = char(m_pchData[i] - 'A' + 'a');
    return *this;
}

void CString::Format(LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::Format(UINT formatId, ...) {
    CString format;
    format.LoadString(formatId);
    va_list args;
    va_start(args, formatId);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(LPCSTR format, va_list args) {
    if (!format || !*format) {
        Empty();
        return;
    }
    char small[256];
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) AfxThrowInvalidArgException();
    if (size_t(n) < sizeof small) {
        Assign(small, n);
        return;
    }
    CString result;
    result.Reserve(n);
    va_copy(copy, args);
    vsnprintf(result.m_pchData, size_t(n) + 1, format, copy);
    va_end(copy);
    result.m_nLength = n;
    *this = static_cast<CString&&>(result);
}

void CString::FormatMessage(LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    FormatMessageV(format, &args);
    va_end(args);
}

void CString::FormatMessage(UINT formatId, ...) {
    CString format;
    format.LoadString(formatId);
    va_list args;
    va_start(args, formatId);
    FormatMessageV(format, &args);
    va_end(args);
}

// Message inserts are formatted by FormatMessageA one insert at a time, from an argument
// array filled from the caller's list; the text between inserts is copied by this layer.
// That keeps the format's own line breaks as written (a lone line feed stays one), where
// FormatMessageA would turn each into CR LF.
void CString::FormatMessageV(LPCSTR format, va_list* args) {
    if (!format || !*format) {
        Empty();
        return;
    }
    // Pass 1: how many arguments the inserts use (an insert k with n stars uses k..k+n).
    int needed = 0;
    for (const char* p = format; *p; ++p) {
        if (*p != '%' || !p[1]) continue;
        ++p;
        if (*p < '1' || *p > '9') continue;
        int k = *p - '0';
        if (p[1] >= '0' && p[1] <= '9') k = k * 10 + (*++p - '0');
        int stars = 0;
        if (p[1] == '!') {
            const char* close = strchr(p + 2, '!');
            if (!close) AfxThrowInvalidArgException();
            for (const char* q = p + 2; q < close; ++q) stars += *q == '*';
            p = close;
        }
        if (k + stars > needed) needed = k + stars;
    }
    DWORD_PTR values[128] = {};
    if (needed > 0 && !args) AfxThrowInvalidArgException();
    for (int i = 0; i < needed && i < 128; ++i) values[i] = va_arg(*args, DWORD_PTR);

    // Pass 2: literal text and escapes here, each insert through FormatMessageA.
    CString result;
    for (const char* p = format; *p; ++p) {
        if (*p != '%') {
            result.AppendChar(*p);
            continue;
        }
        const char* insert = p++;
        if (!*p) AfxThrowInvalidArgException();
        if (*p >= '1' && *p <= '9') {
            if (p[1] >= '0' && p[1] <= '9') ++p;
            if (p[1] == '!') p = strchr(p + 2, '!');
            char piece[64];
            size_t length = size_t(p - insert + 1);
            if (length >= sizeof piece) AfxThrowInvalidArgException();
            memcpy(piece, insert, length);
            piece[length] = 0;
            LPSTR text = nullptr;
            SetLastError(ERROR_SUCCESS);
            DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                         FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                     piece, 0, 0, reinterpret_cast<LPSTR>(&text), 0,
                                     reinterpret_cast<va_list*>(values));
            DWORD error = GetLastError();
            if (n == 0 && text) LocalFree(text);
            if (n == 0) {
                if (error == ERROR_SUCCESS || error == ERROR_NO_WORK_DONE) continue;  // empty insert
                if (error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY) AfxThrowMemoryException();
                AfxThrowInvalidArgException();
            }
            try {
                result.Append(text, CheckedLength(n));
            } catch (...) {
                LocalFree(text);
                throw;
            }
            LocalFree(text);
            continue;
        }
        switch (*p) {
            case '0': *this = static_cast<CString&&>(result); return;
            case 'n': result += "\r\n"; break;
            case 'r': result.AppendChar('\r'); break;
            case 't': result.AppendChar('\t'); break;
            default: result.AppendChar(*p); break;  // %% %. %! "% " and any other character
        }
    }
    *this = static_cast<CString&&>(result);
}

BOOL CString::LoadString(UINT id) {
    HINSTANCE module = AfxFindStringResourceHandle(id);
    if (!module) {
        Empty();
        return FALSE;
    }
    // A row holds at most 65535 UTF-16 units, three bytes each at most in UTF-8.
    char buffer[512];
    int n = ::LoadStringA(module, id, buffer, sizeof buffer);
    if (n > 0 && n < int(sizeof buffer) - 4) {
        Assign(buffer, n);
        return TRUE;
    }
    CString big;
    int cap = 65535 * 3 + 1;
    big.Reserve(cap);
    n = ::LoadStringA(module, id, big.m_pchData, cap + 1);
    if (n <= 0) {
        Empty();
        return FALSE;
    }
    big.m_nLength = n;
    big.FreeExtra();
    *this = static_cast<CString&&>(big);
    return TRUE;
}

LPSTR CString::GetBuffer(int minLength) {
    if (minLength < 0) minLength = 0;
    if (minLength > m_nAlloc || m_nAlloc == 0) Reserve(minLength > m_nLength ? minLength : (m_nLength ? m_nLength : 1));
    return m_pchData;
}

LPSTR CString::GetBufferSetLength(int length) {
    if (length < 0) length = 0;
    GetBuffer(length);
    m_nLength = length;
    m_pchData[length] = 0;
    return m_pchData;
}

void CString::ReleaseBuffer(int newLength) {
    if (!m_nAlloc) {
        m_nLength = 0;
        return;
    }
    if (newLength < 0) {
        const void* end = memchr(m_pchData, 0, size_t(m_nAlloc) + 1);
        newLength = end ? int(static_cast<const char*>(end) - m_pchData) : m_nAlloc;
    }
    if (newLength > m_nAlloc) newLength = m_nAlloc;
    m_nLength = newLength;
    m_pchData[newLength] = 0;
}

void CString::FreeExtra() {
    if (!m_nAlloc || m_nAlloc == m_nLength) return;
    if (m_nLength == 0) {
        Empty();
        return;
    }
    char* data = static_cast<char*>(realloc(m_pchData, size_t(m_nLength) + 1));
    if (data) {
        m_pchData = data;
        m_nAlloc = m_nLength;
    }
}

void CString::Preallocate(int length) {
    if (length > 0) Reserve(length);
}

CString AFXAPI operator+(const CString& a, const CString& b) {
    CString r;
    r.Preallocate(CheckedSum(a.GetLength(), b.GetLength()));
    r.Append(a, a.GetLength());
    r.Append(b, b.GetLength());
    return r;
}

CString AFXAPI operator+(const CString& a, LPCSTR b) {
    CString r(a);
    r += b;
    return r;
}

CString AFXAPI operator+(LPCSTR a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

CString AFXAPI operator+(const CString& a, char b) {
    CString r(a);
    r += b;
    return r;
}

CString AFXAPI operator+(char a, const CString& b) {
    CString r(a, 1);
    r += b;
    return r;
}

bool AFXAPI operator==(const CString& a, const CString& b) {
    return a.GetLength() == b.GetLength() && memcmp(a.GetString(), b.GetString(), size_t(a.GetLength())) == 0;
}
bool AFXAPI operator==(const CString& a, LPCSTR b) { return a.Compare(b) == 0; }
bool AFXAPI operator==(LPCSTR a, const CString& b) { return b.Compare(a) == 0; }
bool AFXAPI operator!=(const CString& a, const CString& b) { return !(a == b); }
bool AFXAPI operator!=(const CString& a, LPCSTR b) { return !(a == b); }
bool AFXAPI operator!=(LPCSTR a, const CString& b) { return !(a == b); }
bool AFXAPI operator<(const CString& a, const CString& b) {
    int n = a.GetLength() < b.GetLength() ? a.GetLength() : b.GetLength();
    int c = memcmp(a.GetString(), b.GetString(), size_t(n));
    return c < 0 || (c == 0 && a.GetLength() < b.GetLength());
}
