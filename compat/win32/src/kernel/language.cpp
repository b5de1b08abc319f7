// Languages: the user's locale, the thread's UI language and the resource search order.
#include <unicode/uloc.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "kernel/language_search.h"

namespace {

constexpr LANGID kEnglishUS = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

thread_local LANGID t_uiLanguage = 0;

// The POSIX locale name that decides the user's language: NAVOTOOLS_LOCALE (a locale name
// or a decimal LCID), then LC_ALL, LC_MESSAGES and LANG.
std::string UserLocaleName() {
    for (const char* var : {"NAVOTOOLS_LOCALE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getenv(var);
        if (value && *value) return value;
    }
    return "C";
}

LCID LcidFromLocaleName(std::string name) {
    if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos) {
        unsigned long n = strtoul(name.c_str(), nullptr, 10);
        return n > 0 && n <= 0xFFFF ? LCID(n) : kEnglishUS;
    }
    size_t cut = name.find_first_of(".@");
    if (cut != std::string::npos) name.resize(cut);
    if (name.empty() || name == "C" || name == "POSIX") return kEnglishUS;
    uint32_t lcid = uloc_getLCID(name.c_str());
    // A language with an unknown region still has a primary language.
    if (lcid == 0) {
        size_t sep = name.find('_');
        if (sep != std::string::npos) lcid = uloc_getLCID(name.substr(0, sep).c_str());
    }
    return lcid ? LCID(lcid & 0xFFFF) : kEnglishUS;
}

void Push(std::vector<LANGID>& list, LANGID lang) {
    for (LANGID l : list)
        if (l == lang) return;
    list.push_back(lang);
}

}  // namespace

namespace navo::win32 {

std::vector<LANGID> ResourceLanguageCandidates(LANGID requested) {
    std::vector<LANGID> list;
    Push(list, requested);
    Push(list, MAKELANGID(PRIMARYLANGID(requested), SUBLANG_NEUTRAL));
    Push(list, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    if (PRIMARYLANGID(requested) == LANG_NEUTRAL) {
        if (SUBLANGID(requested) != SUBLANG_SYS_DEFAULT) {
            LANGID thread = GetThreadUILanguage();
            Push(list, thread);
            Push(list, MAKELANGID(PRIMARYLANGID(thread), SUBLANG_NEUTRAL));
            LANGID user = GetUserDefaultUILanguage();
            Push(list, user);
            Push(list, MAKELANGID(PRIMARYLANGID(user), SUBLANG_NEUTRAL));
        }
        LANGID system = GetSystemDefaultUILanguage();
        Push(list, system);
        Push(list, MAKELANGID(PRIMARYLANGID(system), SUBLANG_NEUTRAL));
        Push(list, kEnglishUS);
    }
    return list;
}

}  // namespace navo::win32

extern "C" {

LCID WINAPI GetUserDefaultLCID() { return LcidFromLocaleName(UserLocaleName()); }
LCID WINAPI GetSystemDefaultLCID() { return kEnglishUS; }
LANGID WINAPI GetUserDefaultLangID() { return LANGIDFROMLCID(GetUserDefaultLCID()); }
LANGID WINAPI GetSystemDefaultLangID() { return kEnglishUS; }
LANGID WINAPI GetUserDefaultUILanguage() { return GetUserDefaultLangID(); }
LANGID WINAPI GetSystemDefaultUILanguage() { return kEnglishUS; }

LANGID WINAPI SetThreadUILanguage(LANGID langId) {
    t_uiLanguage = langId;
    return GetThreadUILanguage();
}

LANGID WINAPI GetThreadUILanguage() { return t_uiLanguage ? t_uiLanguage : GetUserDefaultUILanguage(); }

}  // extern "C"
