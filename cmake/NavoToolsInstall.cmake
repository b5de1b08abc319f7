# Install rules: the library, its headers, a CMake package (NavoTools::NavoTools) and a
# pkg-config file. Nothing installed names the prefix: the tree works wherever it is moved
# (the library finds its module folder from its own location).
include(CMakePackageConfigHelpers)

install(TARGETS NavoTools navotools_installed
  EXPORT NavoToolsTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY compat/mfc/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/NavoTools/mfc)
install(DIRECTORY compat/win32/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/NavoTools/win32)

install(EXPORT NavoToolsTargets
  NAMESPACE NavoTools::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/NavoTools)
configure_package_config_file(cmake/NavoToolsConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/NavoToolsConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/NavoTools)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/NavoToolsConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/NavoToolsConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/NavoToolsConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/NavoTools)
# navotools_embed_resources and navotools_add_dll_startup for applications: the helpers,
# the assembler template and the loader glue they compile into the application's modules.
install(FILES cmake/NavoToolsResources.cmake cmake/embed_rsrc.S.in
  compat/win32/crt/dll_startup_elf.cpp
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/NavoTools)

# The pkg-config file names its folders relative to its own (${pcfiledir}), so that an
# installed tree can move.
file(RELATIVE_PATH NAVOTOOLS_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" NAVOTOOLS_PC_TO_PREFIX "${NAVOTOOLS_PC_TO_PREFIX}")
configure_file(cmake/NavoTools.pc.in ${CMAKE_CURRENT_BINARY_DIR}/NavoTools.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/NavoTools.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
