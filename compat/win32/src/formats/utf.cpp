// UTF-8 <-> UTF-16 on ICU's header-only macros; see utf.h for what each call does.
#include "formats/utf.h"

#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <cstdint>

namespace navo::win32::utf {
namespace {

// Decodes UTF-8 and hands each code point to `emit`; an ill-formed part is handed over
// as -1. Returns false as soon as `emit` does.
template <typename Emit>
bool DecodeUtf8(std::string_view text, Emit emit) {
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        UChar32 c;
        U8_NEXT(s, i, n, c);
        if (!emit(c)) return false;
    }
    return true;
}

// Decodes UTF-16 and hands each code point to `emit`; an unpaired surrogate is handed
// over as itself. Returns false as soon as `emit` does.
template <typename Emit>
bool DecodeUtf16(std::u16string_view text, Emit emit) {
    const char16_t* s = text.data();
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        UChar32 c;
        U16_NEXT(s, i, n, c);
        if (!emit(c)) return false;
    }
    return true;
}

void AppendUtf16(std::u16string& out, UChar32 c) {
    if (U_IS_BMP(c)) {
        out.push_back(char16_t(c));
    } else {
        out.push_back(char16_t(U16_LEAD(c)));
        out.push_back(char16_t(U16_TRAIL(c)));
    }
}

void AppendScalar(std::string& out, UChar32 c) {
    uint8_t bytes[U8_MAX_LENGTH];
    int32_t k = 0;
    U8_APPEND_UNSAFE(bytes, k, c);
    out.append(reinterpret_cast<const char*>(bytes), size_t(k));
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

std::u16string ToUtf16(std::string_view utf8, Replace) {
    std::u16string out;
    out.reserve(utf8.size());
    DecodeUtf8(utf8, [&](UChar32 c) {
        AppendUtf16(out, c < 0 ? UChar32(kReplacementCharacter) : c);
        return true;
    });
    return out;
}

std::optional<std::u16string> ToUtf16(std::string_view utf8, Strict) {
    std::u16string out;
    out.reserve(utf8.size());
    if (!DecodeUtf8(utf8, [&](UChar32 c) {
            if (c < 0) return false;
            AppendUtf16(out, c);
            return true;
        }))
        return std::nullopt;
    return out;
}

std::string ToUtf8(std::u16string_view units, Replace) {
    std::string out;
    out.reserve(units.size());
    DecodeUtf16(units, [&](UChar32 c) {
        AppendScalar(out, U_IS_SURROGATE(c) ? UChar32(kReplacementCharacter) : c);
        return true;
    });
    return out;
}

std::optional<std::string> ToUtf8(std::u16string_view units, Strict) {
    std::string out;
    out.reserve(units.size());
    if (!DecodeUtf16(units, [&](UChar32 c) {
            if (U_IS_SURROGATE(c)) return false;
            AppendScalar(out, c);
            return true;
        }))
        return std::nullopt;
    return out;
}

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
    return DecodeUtf8(bytes, [](UChar32 c) { return c >= 0; });
}

void AppendUtf8(std::string& out, char32_t codePoint, Replace) {
    const auto c = UChar32(codePoint);
    AppendScalar(out, U_IS_SURROGATE(c) || codePoint > 0x10FFFF ? UChar32(kReplacementCharacter) : c);
}

size_t WholeCharacterPrefix(std::string_view utf8, size_t room) {
    if (utf8.size() <= room) return utf8.size();
    // Every byte that is not a trail byte starts a part (a character or an ill-formed
    // part), so the part that byte `room` belongs to starts at most three bytes back.
    const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
    size_t start = room;
    for (int back = 0; back < 3 && start > 0 && U8_IS_TRAIL(s[start]); ++back) --start;
    size_t end = start;
    UChar32 c;
    U8_NEXT(s, end, utf8.size(), c);
    (void)c;
    return end > room ? start : room;
}

}  // namespace navo::win32::utf
