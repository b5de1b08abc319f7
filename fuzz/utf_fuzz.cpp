// Fuzzes the UTF converter with its invariants: what a lenient conversion gives is
// well-formed, a strict one succeeds exactly on well-formed input and then round-trips,
// and a whole-character prefix fits and cuts no character.

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/utf.h"

namespace utf = navo::win32::utf;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const bool wellFormed = utf::IsUtf8(bytes);

    // The input as UTF-8.
    const std::u16string replaced = utf::ToUtf16(bytes, utf::kReplace);
    if (!utf::ToUtf8(replaced, utf::kStrict)) __builtin_trap();
    const auto strict = utf::ToUtf16(bytes, utf::kStrict);
    if (strict.has_value() != wellFormed) __builtin_trap();
    if (strict && (*strict != replaced || utf::ToUtf8(*strict, utf::kStrict) != std::string(bytes))) __builtin_trap();

    // The input as UTF-16LE bytes.
    for (auto cut : {utf::CutUnit::kDrop, utf::CutUnit::kReplace})
        if (!utf::IsUtf8(utf::Utf16LeToUtf8(bytes, utf::kReplace, cut))) __builtin_trap();
    if (auto text = utf::Utf16LeToUtf8(bytes, utf::kStrict)) {
        if (utf::Utf8ToUtf16Le(*text, utf::kStrict) != std::string(bytes)) __builtin_trap();
        if (utf::Utf16LeToUtf8(bytes, utf::kReplace, utf::CutUnit::kReplace) != *text) __builtin_trap();
    }

    // A prefix of the lenient text never cuts a character.
    const std::string text = utf::ToUtf8(replaced, utf::kReplace);
    const size_t room = size ? data[0] : 0;
    const size_t prefix = utf::WholeCharacterPrefix(text, room);
    if (prefix > room || prefix > text.size() || !utf::IsUtf8(std::string_view(text).substr(0, prefix))) __builtin_trap();
    if (prefix < text.size() && prefix + 4 <= room) __builtin_trap();
    return 0;
}
