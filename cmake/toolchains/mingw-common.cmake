# What the two mingw-w64 cross builds share; each toolchain file sets
# CMAKE_SYSTEM_PROCESSOR, NAVOTOOLS_MINGW_TRIPLET and NAVOTOOLS_MINGW_SHARED_RUNTIME, then
# includes this file. Debian's mingw-w64 with the posix thread model (the library uses
# std::mutex).
#
# How the C++ run-time is linked decides whether exceptions cross module boundaries:
# - x64 unwinds through the SEH tables of each image, which the system's unwinder walks
#   whatever module a frame belongs to: libgcc, libstdc++ and winpthread are linked in
#   statically, and NavoTools.dll and its applications import system DLLs only.
# - x86 unwinds with DWARF-2 tables that each module registers with libgcc's unwinder. With
#   libgcc linked into each module, each has its own unwinder, which knows no frame of the
#   others: an exception thrown in NavoTools.dll and caught in the application ends the
#   process. There every module links the shared run-time (libgcc_s_dw2-1.dll,
#   libstdc++-6.dll and libwinpthread-1.dll), which ships beside NavoTools.dll.
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

if(NAVOTOOLS_MINGW_SHARED_RUNTIME)
  set(link_flags "-shared-libgcc")
  # The run-time DLLs that ship beside NavoTools.dll (and the test programs), where the
  # compiler keeps them.
  set(NAVOTOOLS_MINGW_RUNTIME_DLLS)
  foreach(dll ${NAVOTOOLS_MINGW_RUNTIME_DLL_NAMES})
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
      OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
      message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
    endif()
    get_filename_component(path "${path}" REALPATH)
    list(APPEND NAVOTOOLS_MINGW_RUNTIME_DLLS "${path}")
  endforeach()
else()
  # libgcc, libstdc++ and winpthread linked in: -static makes the linker take the static
  # archive of each, while the system import libraries stay import libraries.
  set(link_flags "-static -static-libgcc -static-libstdc++")
  set(NAVOTOOLS_MINGW_RUNTIME_DLLS)
endif()
set(CMAKE_EXE_LINKER_FLAGS_INIT "${link_flags}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${link_flags}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${link_flags}")
