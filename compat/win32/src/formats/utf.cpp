// UTF-8 <-> UTF-16 on ICU's header-only macros; see utf.h for what each call does.
#include "formats/utf.h"

#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <optional>

namespace navo::win32::utf {
namespace {

void AppendUtf16(std::u16string& out, UChar32 c) {
    if (U_IS_BMP(c)) {
        out.push_back(char16_t(c));
    } else {
        out.push_back(char16_t(U16_LEAD(c)));
        out.push_back(char16_t(U16_TRAIL(c)));
    }
}

void AppendScalar(std::string& out, UChar32 c) {
    if (c < 0x80) {
        out.push_back(char(c));
        return;
    }
    uint8_t bytes[U8_MAX_LENGTH];
    int32_t k = 0;
    U8_APPEND_UNSAFE(bytes, k, c);
    out.append(reinterpret_cast<const char*>(bytes), size_t(k));
}

// One code point at text[i], advancing i past it: ICU's macros give a negative value for
// an ill-formed UTF-8 part and the surrogate itself for an unpaired one.
UChar32 NextOfUtf8(const char* text, size_t& i, size_t n) {
    const auto* s = reinterpret_cast<const uint8_t*>(text);
    UChar32 c;
    U8_NEXT(s, i, n, c);
    return c;
}

UChar32 NextOfUtf16(const char16_t* s, size_t& i, size_t n) {
    UChar32 c;
    U16_NEXT(s, i, n, c);
    return c;
}

enum class Mode { kReplace, kStrict };

// Decodes `in` with `next` and appends each code point to the result with `append`. An
// ill-formed part becomes U+FFFD, or in strict mode ends the conversion with nothing (so
// the result is never nothing in replace mode).
template <typename Out, typename In, typename Next, typename Append>
std::optional<Out> Transcode(In in, Mode mode, Next next, Append append) {
    Out out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size();) {
        const UChar32 c = next(in.data(), i, in.size());
        const bool illFormed = c < 0 || U_IS_SURROGATE(c);
        if (illFormed && mode == Mode::kStrict) return std::nullopt;
        append(out, illFormed ? UChar32(kReplacementCharacter) : c);
    }
    return out;
}

std::optional<std::u16string> Utf8To16(std::string_view text, Mode mode) {
    return Transcode<std::u16string>(text, mode, NextOfUtf8, AppendUtf16);
}

std::optional<std::string> Utf16To8(std::u16string_view units, Mode mode) {
    return Transcode<std::string>(units, mode, NextOfUtf16, AppendScalar);
}

std::u16string UnitsOf(std::string_view bytes) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(uint8_t(bytes[2 * i]) | (uint16_t(uint8_t(bytes[2 * i + 1])) << 8));
    return units;
}

std::string BytesOf(std::u16string_view units) {
    std::string out;
    out.reserve(units.size() * 2);
    for (char16_t u : units) {
        out.push_back(char(u & 0xFF));
        out.push_back(char(u >> 8));
    }
    return out;
}

}  // namespace

std::u16string ToUtf16(std::string_view utf8, Replace) { return Utf8To16(utf8, Mode::kReplace).value_or(u""); }
std::optional<std::u16string> ToUtf16(std::string_view utf8, Strict) { return Utf8To16(utf8, Mode::kStrict); }

std::string ToUtf8(std::u16string_view units, Replace) { return Utf16To8(units, Mode::kReplace).value_or(""); }
std::optional<std::string> ToUtf8(std::u16string_view units, Strict) { return Utf16To8(units, Mode::kStrict); }

std::string Utf16LeToUtf8(std::string_view bytes, Replace, CutUnit cut) {
    std::string out = ToUtf8(UnitsOf(bytes), kReplace);
    if (bytes.size() % 2 && cut == CutUnit::kReplace) AppendScalar(out, UChar32(kReplacementCharacter));
    return out;
}

std::optional<std::string> Utf16LeToUtf8(std::string_view bytes, Strict) {
    if (bytes.size() % 2) return std::nullopt;
    return ToUtf8(UnitsOf(bytes), kStrict);
}

std::string Utf8ToUtf16Le(std::string_view utf8, Replace) { return BytesOf(ToUtf16(utf8, kReplace)); }

std::optional<std::string> Utf8ToUtf16Le(std::string_view utf8, Strict) {
    auto units = ToUtf16(utf8, kStrict);
    if (!units) return std::nullopt;
    return BytesOf(*units);
}

bool IsUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();)
        if (NextOfUtf8(bytes.data(), i, bytes.size()) < 0) return false;
    return true;
}

void AppendUtf8(std::string& out, char32_t codePoint, Replace) {
    const auto c = UChar32(codePoint);
    AppendScalar(out, U_IS_SURROGATE(c) || codePoint > 0x10FFFF ? UChar32(kReplacementCharacter) : c);
}

void AppendUtf8OfUtf16Le(std::string& out, std::string_view bytes, Replace) {
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t units = bytes.size() / 2;
    auto unit = [b](size_t i) { return char16_t(b[2 * i] | (b[2 * i + 1] << 8)); };
    out.reserve(out.size() + units);
    for (size_t i = 0; i < units;) {
        const char16_t u = unit(i++);
        if (u < 0x80) {
            out.push_back(char(u));
            continue;
        }
        // As U16_NEXT: a lead followed by a trail is one code point; an unpaired
        // surrogate is ill-formed.
        UChar32 c = u;
        if (U16_IS_LEAD(u) && i < units && U16_IS_TRAIL(unit(i))) c = U16_GET_SUPPLEMENTARY(u, unit(i++));
        AppendScalar(out, U_IS_SURROGATE(c) ? UChar32(kReplacementCharacter) : c);
    }
}

size_t WholeCharacterPrefix(std::string_view utf8, size_t room) {
    if (utf8.size() <= room) return utf8.size();
    // Every byte that is not a trail byte starts a part (a character or an ill-formed
    // part), so the part that byte `room` belongs to starts at most three bytes back.
    const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
    size_t start = room;
    for (int back = 0; back < 3 && start > 0 && U8_IS_TRAIL(s[start]); ++back) --start;
    size_t end = start;
    NextOfUtf8(utf8.data(), end, utf8.size());
    return end > room ? start : room;
}

}  // namespace navo::win32::utf
