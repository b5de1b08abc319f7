# Win32 resources for ELF modules.
#
# navotools_embed_resources(<target> <file.rc> [INCLUDE_DIRS dir...]) compiles the script
# with llvm-rc, links the result into a resource-only PE image with lld-link and embeds
# that image in the target's ".rsrc" section. The module's handle then answers
# FindResourceEx, LoadString and the version functions exactly as a PE module would (a
# Windows module simply links the compiled .res). It
# serves shared objects and executables alike: an application that embeds a VERSIONINFO
# this way is read by GetFileVersionInfoSizeA on its own file and by CVersion(). The
# helper is installed with the package: after find_package(NavoTools) an application's
# project (with the ASM language enabled) calls navotools_embed_resources(app app.rc).
#
# navotools_add_dll_startup(<target>) adds the loader glue that runs the module's DLL
# entry point (raw attach hook, run-time initialization, DllMain) when the shared object
# is loaded and unloaded. For a Windows (mingw-w64) module it makes the module's entry a
# routine that runs the raw attach hook around the mingw run-time's own entry.

# Not REQUIRED here: an application that finds the installed package without embedding
# resources needs neither tool. navotools_compile_rc stops with a clear message instead.
find_program(NAVOTOOLS_LLVM_RC NAMES llvm-rc llvm-rc-14)
find_program(NAVOTOOLS_LLD_LINK NAMES lld-link lld-link-14)
find_program(NAVOTOOLS_CLANG NAMES clang clang-14)

set(NAVOTOOLS_RESOURCES_DIR ${CMAKE_CURRENT_LIST_DIR})
# The loader glue: installed next to this file, or in the source tree's compat/win32/crt.
if(WIN32)
  set(startup dll_startup_mingw.cpp)
else()
  set(startup dll_startup_elf.cpp)
endif()
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/${startup})
  set(NAVOTOOLS_DLL_STARTUP_SOURCE ${CMAKE_CURRENT_LIST_DIR}/${startup})
else()
  set(NAVOTOOLS_DLL_STARTUP_SOURCE ${CMAKE_CURRENT_LIST_DIR}/../compat/win32/crt/${startup})
endif()
unset(startup)

# navotools_compile_rc(<file.rc> <out.dll> [MACHINE x64|x86] [INCLUDE_DIRS dir...]) makes a
# resource-only PE image: PE32+ for x64 (the default), PE32 for x86.
function(navotools_compile_rc rcfile outdll)
  cmake_parse_arguments(ARG "" "MACHINE" "INCLUDE_DIRS" ${ARGN})
  if(NOT NAVOTOOLS_LLVM_RC OR NOT NAVOTOOLS_LLD_LINK)
    message(FATAL_ERROR "Compiling ${rcfile} needs llvm-rc and lld-link (LLVM 14 or later)")
  endif()
  if(NOT ARG_MACHINE)
    set(ARG_MACHINE x64)
  endif()
  get_filename_component(name ${outdll} NAME_WE)
  get_filename_component(rcdir ${rcfile} DIRECTORY)
  set(res ${CMAKE_CURRENT_BINARY_DIR}/${name}.res)
  set(includes /I ${rcdir})
  foreach(dir IN LISTS ARG_INCLUDE_DIRS)
    list(APPEND includes /I ${dir})
  endforeach()
  if(NAVOTOOLS_CLANG)
    set(pre)
  else()
    set(pre -no-preprocess)
  endif()
  add_custom_command(
    OUTPUT ${res}
    # "--" ends the options: llvm-rc reads any word that starts with "/" as a switch,
    # so an absolute input path such as /check/... would be taken for "/C heck/...".
    COMMAND ${NAVOTOOLS_LLVM_RC} ${pre} ${includes} /FO ${res} -- ${rcfile}
    DEPENDS ${rcfile}
    COMMENT "Compiling resources ${name}.rc"
    VERBATIM)
  add_custom_command(
    OUTPUT ${outdll}
    # The input is named relative to the binary directory for the same reason: lld-link
    # takes a leading "/" for a switch too.
    COMMAND ${NAVOTOOLS_LLD_LINK} /nologo /dll /noentry /machine:${ARG_MACHINE} /out:${outdll} ${name}.res
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DEPENDS ${res}
    COMMENT "Linking resource image ${name}"
    VERBATIM)
endfunction()

function(navotools_embed_resources target rcfile)
  if(WIN32)
    # A Windows module links its resources as a compiled .res (the RC language).
    target_sources(${target} PRIVATE ${rcfile})
    return()
  endif()
  # The image is embedded by an assembler source.
  get_property(languages GLOBAL PROPERTY ENABLED_LANGUAGES)
  if(NOT "ASM" IN_LIST languages)
    message(FATAL_ERROR "navotools_embed_resources(${target}): enable the ASM language, "
                        "e.g. project(<name> LANGUAGES CXX ASM)")
  endif()
  get_filename_component(name ${rcfile} NAME_WE)
  set(image ${CMAKE_CURRENT_BINARY_DIR}/${target}_${name}.rsrc.dll)
  navotools_compile_rc(${rcfile} ${image} ${ARGN})
  set(asm ${CMAKE_CURRENT_BINARY_DIR}/${target}_${name}_rsrc.S)
  configure_file(${NAVOTOOLS_RESOURCES_DIR}/embed_rsrc.S.in ${asm} @ONLY)
  target_sources(${target} PRIVATE ${asm})
  set_source_files_properties(${asm} PROPERTIES OBJECT_DEPENDS ${image})
endfunction()

function(navotools_add_dll_startup target)
  target_sources(${target} PRIVATE ${NAVOTOOLS_DLL_STARTUP_SOURCE})
  if(WIN32)
    target_link_options(${target} PRIVATE -Wl,-e,navo_dll_startup)
  endif()
endfunction()
