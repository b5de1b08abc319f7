# Fixtures of the tests: real PE files compiled from the scripts in tests/data by llvm-rc
# and linked by lld-link, as the project's modules are, and ELF modules built as DLLs.
# They land in the tests' binary directory (NAVOTOOLS_TEST_BINARY_DIR).

# name: script [machine]; the machine of the programs that load them unless given: PE32+
# on Linux and for Windows x64, PE32 for Windows x86 (a 32-bit process loads no PE32+
# image, not even one without code). On x86 the "32" fixtures are PE32 like the others.
set(fixture_machine x64)
if(WIN32 AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(fixture_machine x86)
endif()
set(NAVOTOOLS_PE_FIXTURES
  "strings_by_language:strings_by_language"
  "named_resources:named_resources"
  "AppEng:AppEng"
  "AppFra:AppFra"
  "AppKor:AppKor"
  "AppDefault:AppDefault"
  "AppFra32:AppFra:x86"
  "messages:messages"
  "messages32:messages:x86")
set(fixture_outputs)
foreach(entry IN LISTS NAVOTOOLS_PE_FIXTURES)
  string(REPLACE ":" ";" parts "${entry}")
  list(GET parts 0 out_name)
  list(GET parts 1 script)
  list(LENGTH parts count)
  set(machine ${fixture_machine})
  if(count GREATER 2)
    list(GET parts 2 machine)
  endif()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${out_name}.dll)
  navotools_compile_rc(${CMAKE_CURRENT_SOURCE_DIR}/data/${script}.rc ${out} MACHINE ${machine})
  list(APPEND fixture_outputs ${out})
endforeach()
add_custom_target(navotools_test_fixtures DEPENDS ${fixture_outputs})
foreach(exe navotools_win32_tests navotools_modules_tests navotools_frame_tests navotools_resdll_tests)
  if(TARGET ${exe})
    add_dependencies(${exe} navotools_test_fixtures)
  endif()
endforeach()

if(NOT WIN32)
# ELF modules: Hello.dll.so with the loader glue and embedded resources, Refuse.dll.so whose
# DllMain refuses to attach, Plain.dll.so without glue.
function(navotools_test_module target file)
  add_library(${target} SHARED ${ARGN})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${file} SUFFIX ".so"
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/modules)
  target_link_libraries(${target} PRIVATE NavoTools)
  add_dependencies(navotools_test_fixtures ${target})
endfunction()
navotools_test_module(navotest_hello Hello.dll ${CMAKE_CURRENT_SOURCE_DIR}/data/hello_module.cpp)
navotools_add_dll_startup(navotest_hello)
navotools_embed_resources(navotest_hello ${CMAKE_CURRENT_SOURCE_DIR}/data/hello_module.rc)
navotools_test_module(navotest_refuse Refuse.dll ${CMAKE_CURRENT_SOURCE_DIR}/data/hello_module.cpp)
target_compile_definitions(navotest_refuse PRIVATE HELLO_REFUSE_ATTACH)
navotools_add_dll_startup(navotest_refuse)
navotools_test_module(navotest_plain Plain.dll ${CMAKE_CURRENT_SOURCE_DIR}/data/plain_module.cpp)


# Simple MAPI providers for the mail tests, each named mapi32.dll.so in a folder of its own.
foreach(provider recording partial)
  add_library(navotest_${provider}_mapi SHARED ${CMAKE_CURRENT_SOURCE_DIR}/data/${provider}_mapi.cpp)
  set_target_properties(navotest_${provider}_mapi PROPERTIES PREFIX "" OUTPUT_NAME "mapi32.dll" SUFFIX ".so"
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${provider}_mapi)
  target_link_libraries(navotest_${provider}_mapi PRIVATE NavoTools)
  add_dependencies(navotools_test_fixtures navotest_${provider}_mapi)
endforeach()
foreach(exe navotools_mail_tests navotools_mailprovider_tests)
  if(TARGET ${exe})
    add_dependencies(${exe} navotools_test_fixtures navotools_mapi32)
  endif()
endforeach()

else()
# The same modules as PE DLLs of the Windows build, in the same folders: Hello.dll with
# linked resources, Refuse.dll whose DllMain refuses to attach, Plain.dll without a DllMain
# of its own (the run-time's entry calls DllMain; no glue is needed), and the two Simple
# MAPI providers as mapi32.dll. --kill-at exports the __stdcall functions of the x86 build
# undecorated, as the real MAPI32.DLL does.
function(navotools_test_dll target file folder)
  add_library(${target} SHARED ${ARGN})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${file}
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${folder}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${folder})
  target_link_options(${target} PRIVATE -Wl,--kill-at)
  add_dependencies(navotools_test_fixtures ${target})
endfunction()
navotools_test_dll(navotest_hello Hello modules ${CMAKE_CURRENT_SOURCE_DIR}/data/hello_module.cpp)
navotools_embed_resources(navotest_hello ${CMAKE_CURRENT_SOURCE_DIR}/data/hello_module.rc)
navotools_test_dll(navotest_refuse Refuse modules ${CMAKE_CURRENT_SOURCE_DIR}/data/hello_module.cpp)
target_compile_definitions(navotest_refuse PRIVATE HELLO_REFUSE_ATTACH)
navotools_test_dll(navotest_plain Plain modules ${CMAKE_CURRENT_SOURCE_DIR}/data/plain_module.cpp)
foreach(provider recording partial)
  navotools_test_dll(navotest_${provider}_mapi mapi32 ${provider}_mapi ${CMAKE_CURRENT_SOURCE_DIR}/data/${provider}_mapi.cpp)
endforeach()
if(TARGET navotools_mail_tests)
  add_dependencies(navotools_mail_tests navotools_test_fixtures)
endif()
endif()

include(${CMAKE_CURRENT_LIST_DIR}/version_fixtures.cmake)
