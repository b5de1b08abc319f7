# What the two mingw-w64 cross builds share; each toolchain file sets
# CMAKE_SYSTEM_PROCESSOR and NAVOTOOLS_MINGW_TRIPLET, then includes this file. Debian's
# mingw-w64 with the posix thread model (the library uses std::mutex); the mingw run-time
# is linked statically, so NavoTools.dll and the test programs import system DLLs only.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${NAVOTOOLS_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NAVOTOOLS_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${NAVOTOOLS_MINGW_TRIPLET}-windres)
set(CMAKE_ASM_COMPILER ${NAVOTOOLS_MINGW_TRIPLET}-gcc-posix)

set(CMAKE_FIND_ROOT_PATH /usr/${NAVOTOOLS_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread linked in: -static makes the linker take the static
# archive of each, while the system import libraries stay import libraries.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
