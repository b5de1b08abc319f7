// The two-stage tables of formats/case_tables.inc: for a code point c below the table's
// limit, block Index[c >> 7] of Delta holds, at c & 127, the difference to its mapping
// modulo 2^16 (no simple mapping leaves its plane).
#include "formats/upper_case.h"

#include <cstdint>

namespace navo::win32 {
namespace {

#include "formats/case_tables.inc"

constexpr uint32_t kBlockBits = 7;
constexpr uint32_t kBlockMask = (1u << kBlockBits) - 1;

static_assert(sizeof kUpperIndex == kUpperLimit >> kBlockBits, "one block per range below the limit");
static_assert(sizeof kFoldIndex == kFoldLimit >> kBlockBits, "one block per range below the limit");

constexpr char32_t Map(char32_t c, uint32_t limit, const uint8_t* index, const uint16_t* delta) {
    if (c >= limit) return c;
    const uint16_t d = delta[(uint32_t(index[c >> kBlockBits]) << kBlockBits) | (c & kBlockMask)];
    return (c & ~char32_t(0xFFFF)) | ((c + d) & 0xFFFF);
}

static_assert(Map(U'a', kUpperLimit, kUpperIndex, kUpperDelta) == U'A');
static_assert(Map(U'K', kFoldLimit, kFoldIndex, kFoldDelta) == U'k');

}  // namespace

char32_t SimpleUpper(char32_t c) { return Map(c, kUpperLimit, kUpperIndex, kUpperDelta); }

char32_t SimpleFold(char32_t c) { return Map(c, kFoldLimit, kFoldIndex, kFoldDelta); }

}  // namespace navo::win32
