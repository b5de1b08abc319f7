# The navotools tool's generated documents: the man page navotools(1) and the bash
# completion, both written by the built tool from its declared commands, and installed.
target_compile_definitions(navotools_objects PRIVATE NAVOTOOLS_TOOL_VERSION="${PROJECT_VERSION}")
target_include_directories(navotools_objects PRIVATE ${CMAKE_CURRENT_LIST_DIR})
# Xlib's headers only: the display check loads it at run time.
target_include_directories(navotools_objects PRIVATE ${X11_INCLUDE_DIR})
# One translation unit: CLI11's header defines its validators (ExistingFile, Number, ...)
# as objects of each file that includes it, so twenty files made twenty sets, built at
# every start. Each command file keeps its names in a namespace of its own.
set_target_properties(navotools_objects PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)

set(navotools_man ${PROJECT_BINARY_DIR}/navotools.1)
set(navotools_completion ${PROJECT_BINARY_DIR}/navotools.bash-completion)
# The library's folder named outright as well: a build made without run paths
# (CMAKE_SKIP_RPATH) gives the built tool none.
add_custom_command(
  OUTPUT ${navotools_man} ${navotools_completion}
  COMMAND ${CMAKE_COMMAND} -E env NAVOTOOLS_HOME=${PROJECT_BINARY_DIR}/navotools-generate-home
          LD_LIBRARY_PATH=$<TARGET_FILE_DIR:NavoTools>
          sh -c "\"$0\" --generate man > \"$1\" && \"$0\" --generate bash > \"$2\""
          $<TARGET_FILE:navotools> ${navotools_man} ${navotools_completion}
  DEPENDS navotools
  COMMENT "Generating the navotools man page and bash completion"
  VERBATIM)
add_custom_target(navotools_docs ALL DEPENDS ${navotools_man} ${navotools_completion})
install(FILES ${navotools_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${navotools_completion} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME navotools)
