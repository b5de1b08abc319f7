// ICU's common library, loaded on first use (late_library.h): the locale's LCID and the
// simple case mappings. Its UTF-8/16 macros are header-only and need no library. ICU's
// headers rename each function with the version (u_toupper is u_toupper_72), and so do the
// names looked up here; the soname carries the same major version.
// Declared without ICU's default-visibility export, so that the forwarders stay hidden.
#define U_STATIC_IMPLEMENTATION
#include <unicode/uchar.h>
#include <unicode/uloc.h>
#include <unicode/uvernum.h>

#include "system/late_forward.h"

namespace {

// Without ICU: ASCII's case mappings, and no LCID for a locale name (the caller's
// fallback, English (US), applies).
UChar32 AsciiUpper(UChar32 c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }
UChar32 AsciiLower(UChar32 c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

}  // namespace

// clang-format off
#define NAVO_ICU_FUNCTIONS(X) \
    X(UChar32, u_foldCase, (UChar32 c, uint32_t options), (c, options), AsciiLower(c)) \
    X(UChar32, u_toupper, (UChar32 c), (c), AsciiUpper(c)) \
    X(uint32_t, uloc_getLCID, (const char* locale), (locale), 0)
// clang-format on

namespace {

enum : size_t { NAVO_ICU_FUNCTIONS(NAVO_LATE_INDEX) kLateCount };
constexpr const char* kNames[] = {NAVO_ICU_FUNCTIONS(NAVO_LATE_NAME)};
void* g_slots[kLateCount];
constinit navo::win32::LateLibrary g_icu("ICU", "libicuuc.so." NAVO_LATE_STRING(U_ICU_VERSION_MAJOR_NUM), kNames,
                                         g_slots, kLateCount);

}  // namespace

extern "C" {
#define NAVO_ICU_FORWARD(...) NAVO_LATE_FORWARD(g_icu, __VA_ARGS__)
NAVO_ICU_FUNCTIONS(NAVO_ICU_FORWARD)
}
