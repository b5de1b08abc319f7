# Version-resource fixtures: each script in tests/data/version_*.rc and no_version.rc
# becomes a PE32+ file NAME.dll and a PE32 file NAME_x86.dll, both linked from one
# compiled .res by lld-link. The version tests also embed data/app_version.rc in their
# own executable, as an application does, to read it back through CVersion().
set(NAVOTOOLS_VERSION_FIXTURES version_1_2_3_4 version_2_10_0_150 version_1_10_0_0 version_2_0_0_0 version_4_123_0_5 no_version)
set(version_fixture_outputs)
foreach(fixture IN LISTS NAVOTOOLS_VERSION_FIXTURES)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${fixture}.dll)
  set(out32 ${CMAKE_CURRENT_BINARY_DIR}/${fixture}_x86.dll)
  navotools_compile_rc(${CMAKE_CURRENT_SOURCE_DIR}/data/${fixture}.rc ${out})
  add_custom_command(
    OUTPUT ${out32}
    COMMAND ${NAVOTOOLS_LLD_LINK} /nologo /dll /noentry /machine:x86 /out:${out32} ${fixture}.res
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${fixture}.res
    COMMENT "Linking PE32 resource image ${fixture}_x86"
    VERBATIM)
  list(APPEND version_fixture_outputs ${out} ${out32})
endforeach()
add_custom_target(navotools_version_fixtures DEPENDS ${version_fixture_outputs})
foreach(exe navotools_win32_tests navotools_version_tests)
  if(TARGET ${exe})
    add_dependencies(${exe} navotools_version_fixtures)
  endif()
endforeach()
if(TARGET navotools_version_tests)
  navotools_embed_resources(navotools_version_tests ${CMAKE_CURRENT_SOURCE_DIR}/data/app_version.rc)
endif()

# The tool reads every fixture, and a file without a version makes it fail.
if(TARGET navotools)
  add_test(NAME navotools_fileversion_reads_fixtures
    COMMAND navotools fileversion ${CMAKE_CURRENT_BINARY_DIR}/version_2_10_0_150.dll
            ${CMAKE_CURRENT_BINARY_DIR}/version_1_2_3_4_x86.dll)
  set_tests_properties(navotools_fileversion_reads_fixtures PROPERTIES
    PASS_REGULAR_EXPRESSION "version_2_10_0_150.dll: 2\\.10\\.150 \\(2\\.10\\.0\\.150\\)\n.*version_1_2_3_4_x86.dll: 1\\.02\\.04 \\(1\\.2\\.3\\.4\\)")
  # A file without a version, a truncated and a corrupted copy of a fixture: the tool
  # reports them, still prints the good file, and exits with exactly 1 (not a crash).
  set(dir ${CMAKE_CURRENT_BINARY_DIR})
  add_test(NAME navotools_fileversion_fails_cleanly
    COMMAND sh -c "head -c 700 version_1_2_3_4.dll > tool_cut.dll && \
      { head -c 600 version_1_2_3_4.dll; printf '\\377\\377\\377\\377'; tail -c +605 version_1_2_3_4.dll; } > tool_corrupt.dll && \
      \"$1\" fileversion no_version.dll tool_cut.dll tool_corrupt.dll version_2_0_0_0.dll; \
      status=$?; rm -f tool_cut.dll tool_corrupt.dll; echo exit status $status" sh $<TARGET_FILE:navotools>
    WORKING_DIRECTORY ${dir})
  set_tests_properties(navotools_fileversion_fails_cleanly PROPERTIES
    PASS_REGULAR_EXPRESSION "version_2_0_0_0.dll: 2\\.00\\.00 \\(2\\.0\\.0\\.0\\).*exit status 1\n")
endif()
