# Resource images for the Win32 layer's tests: real PE files compiled from the scripts in
# tests/data by llvm-rc and linked by lld-link, as the project's modules are. They land in
# the tests' binary directory (NAVOTOOLS_TEST_BINARY_DIR), named after their script.
set(NAVOTOOLS_TEST_FIXTURES strings_by_language named_resources)
set(fixture_outputs)
foreach(fixture IN LISTS NAVOTOOLS_TEST_FIXTURES)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${fixture}.dll)
  navotools_compile_rc(${CMAKE_CURRENT_SOURCE_DIR}/data/${fixture}.rc ${out})
  list(APPEND fixture_outputs ${out})
endforeach()
add_custom_target(navotools_test_fixtures DEPENDS ${fixture_outputs})
if(TARGET navotools_win32_tests)
  add_dependencies(navotools_win32_tests navotools_test_fixtures)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/version_fixtures.cmake)
