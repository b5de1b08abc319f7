// Shared libraries that only a few operations need (X11, SQLite, ICU) are loaded when one
// of those operations first runs, not when the library loads: each late_*.cpp file
// defines the functions the layer uses of one library and forwards them to the real ones,
// found with dlopen by the library's soname (the system's search, never the current
// folder) and dlsym. Without the library the forwarders answer as the library would on a
// failure, and the operation that needs it fails with a diagnosis that names it.
#pragma once

#include <cstddef>
#include <mutex>

namespace navo::win32 {

class LateLibrary {
public:
    // `what` names the library in diagnoses ("SQLite"); `names` are the symbols to find,
    // whose addresses land in `slots` (same count).
    constexpr LateLibrary(const char* what, const char* soname, const char* const* names, void** slots,
                          size_t count)
        : what_(what), soname_(soname), names_(names), slots_(slots), count_(count) {}
    LateLibrary(const LateLibrary&) = delete;
    LateLibrary& operator=(const LateLibrary&) = delete;

    // Opens the library and finds every symbol, once per process (thread-safe). False when
    // the library or one of its symbols is missing; then no symbol is used at all.
    bool Load() {
        std::call_once(once_, [this] { Open(); });
        return loaded_;
    }
    // The address of names[index]; valid after Load() answered true.
    void* Symbol(size_t index) const { return slots_[index]; }
    // After a failed Load(): what is missing, e.g. "SQLite is not available:
    // libsqlite3.so.0: cannot open shared object file: No such file or directory".
    const char* Error() const { return error_; }
    // Sets the calling thread's diagnosis to Error() (the forwarders of the calls that
    // start an operation do so when the library is missing).
    void Diagnose() const;

private:
    void Open();

    const char* what_;
    const char* soname_;
    const char* const* names_;
    void** slots_;
    size_t count_;
    std::once_flag once_;
    bool loaded_ = false;
    char error_[512] = {};
};

}  // namespace navo::win32

// Stringizes after expansion: ICU's headers rename its functions (uloc_getLCID becomes
// uloc_getLCID_72), and dlsym needs the renamed name.
#define NAVO_LATE_STRING_(x) #x
#define NAVO_LATE_STRING(x) NAVO_LATE_STRING_(x)
