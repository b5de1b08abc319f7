// strtoul with a 32-bit result on every target: on LP64 Linux unsigned long has 64 bits,
// and the standard function would accept numbers the platform's strtoul saturates.

#include "registry/number_text.h"

#include <cstdint>

namespace navo::registry {

unsigned int ParseUnsigned32(const char* text) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    uint64_t value = 0;
    bool overflow = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + uint64_t(*p - '0');
        if (value > 0xFFFFFFFFu) {
            overflow = true;
            value = 0xFFFFFFFFu;  // keep reading the digits; the result is decided
        }
    }
    if (overflow) return 0xFFFFFFFFu;
    uint32_t result = uint32_t(value);
    return negative ? uint32_t(0u - result) : result;
}

}  // namespace navo::registry
