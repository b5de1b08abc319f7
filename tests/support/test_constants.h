// Values the test programs share, each defined here once.
#pragma once

#include <windows.h>

#include <string>

// A last error no call sets: set before a call, it shows whether the call touched the last error.
inline constexpr DWORD kUntouched = 0xdeadbeef;

// What a buffer holds before a call writes to it, so that what was written shows.
inline constexpr char kSentinel = 'x';

// What lies past the end of the buffer a call was given; it must still be there afterwards.
inline constexpr BYTE kCanary = 0xA5;

// The UI languages of the resource fixtures.
inline constexpr LANGID kEnglishUS = 1033;
inline constexpr LANGID kFrench = 1036;
inline constexpr LANGID kKorean = 1042;

#if defined(NAVOTOOLS_TEST_BINARY_DIR)
// The tests' build folder, which holds the fixtures the build makes (modules, resource DLLs).
inline const std::string kBin = NAVOTOOLS_TEST_BINARY_DIR;
#endif
