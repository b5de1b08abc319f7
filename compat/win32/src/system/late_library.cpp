// Loading a library on first use (late_library.h).
#include "system/late_library.h"

#include <dlfcn.h>

#include <cstdio>

#include "system/diagnosis.h"

namespace navo::win32 {

void LateLibrary::Open() {
    // RTLD_LOCAL: the library's symbols serve these forwarders only, and never interpose
    // on anything the application loads.
    void* handle = dlopen(soname_, RTLD_LAZY | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        snprintf(error_, sizeof error_, "%s is not available: %s", what_, why ? why : soname_);
        return;
    }
    for (size_t i = 0; i < count_; ++i) {
        dlerror();
        slots_[i] = dlsym(handle, names_[i]);
        if (!slots_[i]) {
            snprintf(error_, sizeof error_, "%s is not available: %s has no function %s", what_, soname_,
                     names_[i]);
            dlclose(handle);
            return;
        }
    }
    loaded_ = true;
}

void LateLibrary::Diagnose() const { SetDiagnosis(error_); }

}  // namespace navo::win32
