# Cross build for 32-bit Windows (PE32) with Debian's mingw-w64. DWARF-2 unwinding: the
# C++ run-time is shared by every module (see mingw-common.cmake).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(NAVOTOOLS_MINGW_TRIPLET i686-w64-mingw32)
set(NAVOTOOLS_MINGW_SHARED_RUNTIME ON)
set(NAVOTOOLS_MINGW_RUNTIME_DLL_NAMES libgcc_s_dw2-1.dll libstdc++-6.dll libwinpthread-1.dll)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
