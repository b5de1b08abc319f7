// The forwarders of the late_*.cpp files. Each file lists the functions it forwards as
//   X(return type, name, (parameters), (arguments), value when the library is missing)
// and expands the list three times: the indices, the names for dlsym, the definitions.
#pragma once

#include "system/late_library.h"

// The index is pasted after expansion, so that a renamed name (ICU's) gives one index
// whether the macro sees it renamed or not.
#define NAVO_LATE_PASTE_(a, b) a##b
#define NAVO_LATE_PASTE(a, b) NAVO_LATE_PASTE_(a, b)
#define NAVO_LATE_INDEX(ret, name, params, args, missing) NAVO_LATE_PASTE(kLate_, name),
#define NAVO_LATE_NAME(ret, name, params, args, missing) NAVO_LATE_STRING(name),
// Hidden: the forwarders stand in for the library inside this one only. (The type, name
// and lists are pieces of a declaration, which parentheses would break.)
// NOLINTBEGIN(bugprone-macro-parentheses)
#define NAVO_LATE_FORWARD(library, ret, name, params, args, missing)                               \
    __attribute__((visibility("hidden"))) ret name params {                                        \
        if (!(library).Load()) return (missing);                                                   \
        return reinterpret_cast<decltype(&name)>((library).Symbol(NAVO_LATE_PASTE(kLate_, name))) args; \
    }
// NOLINTEND(bugprone-macro-parentheses)
