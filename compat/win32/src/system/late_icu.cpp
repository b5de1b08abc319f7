// ICU's common library, loaded on first use (late_library.h): the LCID of a locale name.
// Its UTF-8/16 macros are header-only and need no library, and the case mappings come from
// the generated tables of formats/upper_case.h. ICU's headers rename each function with the
// version (uloc_getLCID is uloc_getLCID_72), and so do the names looked up here; the soname
// carries the same major version.
// Declared without ICU's default-visibility export, so that the forwarders stay hidden.
#define U_STATIC_IMPLEMENTATION
#include <unicode/uloc.h>
#include <unicode/uvernum.h>

#include "system/late_forward.h"

// Without ICU, no LCID for a locale name: the caller's fallback, English (US), applies.
// clang-format off
#define NAVO_ICU_FUNCTIONS(X) \
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
