// One sample of the load benchmark: a fresh C++ program (the C++ run-time already
// loaded, as in any application of the library) that dlopens one library and prints the
// time the call took, in nanoseconds, on standard output.
//
//   navotools_dlopen_probe LIBRARY        # LIBRARY: a soname or a path
//
// Exit status 0 with the time, or 1 with dlerror's text on standard error.
#include <dlfcn.h>
#include <time.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

long long Nanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: navotools_dlopen_probe LIBRARY\n";
        return 2;
    }
    const std::string library = argv[1];
    const long long start = Nanoseconds();
    void* handle = dlopen(library.c_str(), RTLD_LAZY | RTLD_LOCAL);
    const long long elapsed = Nanoseconds() - start;
    if (!handle) {
        std::cerr << "navotools_dlopen_probe: " << dlerror() << '\n';
        return 1;
    }
    std::cout << elapsed << '\n';
    return 0;
}
