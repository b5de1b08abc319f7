// The layer's one UTF-8 <-> UTF-16 converter, on ICU's header-only UTF macros (no ICU
// function is called, so nothing here needs the ICU library at run time).
//
// Every call names what it does with input that is not well-formed:
// - kReplace: each ill-formed part becomes U+FFFD and the conversion never fails. In UTF-8
//   an ill-formed part is a maximal prefix of a valid sequence, or one byte where none
//   starts (Unicode's recommended practice, which the platform's converter follows); in
//   UTF-16 it is one unpaired surrogate.
// - kStrict: any ill-formed part fails the conversion (std::nullopt, false).
// UTF-16 given as little-endian bytes can also end in half a unit; the lenient calls name
// what happens to it (CutUnit), the strict ones fail on it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace navo::win32::utf {

struct Replace {};
struct Strict {};
inline constexpr Replace kReplace{};
inline constexpr Strict kStrict{};

// What a lenient read of UTF-16LE bytes does with a last byte that is half a unit.
enum class CutUnit {
    kDrop,     // it is left out, as if the text ended before it
    kReplace,  // it becomes U+FFFD
};

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// UTF-8 to UTF-16.
std::u16string ToUtf16(std::string_view utf8, Replace);
[[nodiscard]] std::optional<std::u16string> ToUtf16(std::string_view utf8, Strict);

// UTF-16 to UTF-8.
std::string ToUtf8(std::u16string_view units, Replace);
[[nodiscard]] std::optional<std::string> ToUtf8(std::u16string_view units, Strict);

// UTF-16LE bytes (as read from a file) to UTF-8, and UTF-8 to UTF-16LE bytes.
std::string Utf16LeToUtf8(std::string_view bytes, Replace, CutUnit cut);
[[nodiscard]] std::optional<std::string> Utf16LeToUtf8(std::string_view bytes, Strict);
std::string Utf8ToUtf16Le(std::string_view utf8, Replace);
[[nodiscard]] std::optional<std::string> Utf8ToUtf16Le(std::string_view utf8, Strict);

// Whether `bytes` are well-formed UTF-8.
[[nodiscard]] bool IsUtf8(std::string_view bytes);

// Appends the UTF-8 form of one code point; a surrogate code point or one past U+10FFFF
// is appended as U+FFFD.
void AppendUtf8(std::string& out, char32_t codePoint, Replace);

// Appends the UTF-8 form of UTF-16LE bytes (an odd last byte is left out).
void AppendUtf8OfUtf16Le(std::string& out, std::string_view bytes, Replace);

// The length of the longest start of the UTF-8 text `utf8` that has at most `room` bytes
// and does not cut a character in two. A byte that starts no character counts as one.
[[nodiscard]] size_t WholeCharacterPrefix(std::string_view utf8, size_t room);

}  // namespace navo::win32::utf
