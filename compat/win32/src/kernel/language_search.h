// Which language blocks a resource lookup tries, in order.
#pragma once

#include <windows.h>

#include <vector>

namespace navo::win32 {

// The languages a lookup for `requested` tries, first to last, without repeats. A
// specific language tries itself, its primary language with the neutral sublanguage and
// the neutral language. A neutral request (primary language LANG_NEUTRAL) goes on with
// the thread's UI language, the user's default UI language (unless the sublanguage asks
// for the system default), the system's default UI language, each also with the neutral
// sublanguage, and English (1033). A caller that finds none of these in a module takes
// the module's first language, when the request was neutral.
std::vector<LANGID> ResourceLanguageCandidates(LANGID requested);

}  // namespace navo::win32
