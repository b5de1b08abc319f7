// A bounded copy that never splits a multibyte character, for the buffer form of the
// WinInet descriptions.
#pragma once

#include <cstring>

namespace navo_inet {

inline bool IsUtf8Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Copies at most limit bytes of text (length bytes long) into dest and returns the count
// copied. A cut that would fall inside a character of the process's multibyte code page
// (UTF-8 on Linux) moves back to the character's first byte, so no partial character is
// copied. Nothing past dest[limit - 1] is written; no terminator is added.
inline int CopyWholeCharacters(char* dest, const char* text, int length, int limit) {
    if (limit <= 0 || length <= 0) return 0;
    int count = length < limit ? length : limit;
    if (count < length) {
        // A UTF-8 character is at most four bytes, so at most three of them continue it.
        int back = 0;
        while (count > 0 && back < 3 && IsUtf8Continuation(static_cast<unsigned char>(text[count]))) {
            --count;
            ++back;
        }
    }
    memcpy(dest, text, size_t(count));
    return count;
}

}  // namespace navo_inet
