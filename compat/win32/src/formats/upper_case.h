// Simple case mappings of single code points, from tables generated out of ICU at
// development time (tools/case_tables): no ICU at run time.
#pragma once

namespace navo::win32 {

// The code point's simple upper case (one code point for one, as the platform upper-cases
// names); itself when it has none or is not a code point.
char32_t SimpleUpper(char32_t c);

// The code point's simple case folding (Unicode's CaseFolding.txt, statuses C and S).
char32_t SimpleFold(char32_t c);

}  // namespace navo::win32
