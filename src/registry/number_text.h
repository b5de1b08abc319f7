// The registry wrapper's reading of a number from text: strtoul, base 10, with the
// platform's 32-bit unsigned long.
#pragma once

#include <windows.h>

namespace navo::registry {

// White space skipped, an optional sign, decimal digits up to the first other character
// (the rest is ignored). No digits give 0; a negative number is negated modulo 2^32 ("-1"
// gives 4294967295); a magnitude beyond 32 bits gives 4294967295, as the platform's
// strtoul does where unsigned long has 32 bits.
unsigned int ParseUnsigned32(const char* text);

}  // namespace navo::registry
