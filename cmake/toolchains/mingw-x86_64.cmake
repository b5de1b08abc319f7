# Cross build for Windows x64 (PE32+) with Debian's mingw-w64. SEH unwinding: the C++
# run-time is linked into each module (see mingw-common.cmake).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(NAVOTOOLS_MINGW_TRIPLET x86_64-w64-mingw32)
set(NAVOTOOLS_MINGW_SHARED_RUNTIME OFF)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
