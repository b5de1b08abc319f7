# The test programs and their sources: one program per folder of tests/, built from the files
# listed here, on Linux (tests/CMakeLists.txt) and on Windows (tests/windows.cmake) alike.
#
# A new test file goes into its folder's list below; a new folder gets a list of its own and
# joins NAVOTOOLS_TEST_DIRS. A *_test.cpp file that no list names stops the configuration, so
# that no test is left out of the build unnoticed.
set(NAVOTOOLS_TEST_DIRS collections frame inet mail mailprovider mfc modules registry resdll shell ui version win32)

set(NAVOTOOLS_TEST_SOURCES_collections
  sort_uint_array_test.cpp)
set(NAVOTOOLS_TEST_SOURCES_frame
  entry_test.cpp
  error_messages_test.cpp
  exceptions_test.cpp
  string_table_test.cpp)
set(NAVOTOOLS_TEST_SOURCES_inet
  http_status_test.cpp
  whole_character_copy_test.cpp
  wininet_errors_test.cpp)
set(NAVOTOOLS_TEST_SOURCES_mail
  send_mail_test.cpp)
set(NAVOTOOLS_TEST_SOURCES_mailprovider
  default_provider_test.cpp)
set(NAVOTOOLS_TEST_SOURCES_mfc
  array_growth_test.cpp
  arrays_test.cpp
  cstring_editing_test.cpp
  cstring_limits_test.cpp
  cstring_test.cpp
  exceptions_test.cpp
  resource_chain_test.cpp
  runtime_class_test.cpp)
set(NAVOTOOLS_TEST_SOURCES_modules
  loader_test.cpp
  module_search_test.cpp)
set(NAVOTOOLS_TEST_SOURCES_registry
  win_registry_test.cpp)
set(NAVOTOOLS_TEST_SOURCES_resdll
  resource_dll_loader_test.cpp)
set(NAVOTOOLS_TEST_SOURCES_shell
  app_control_test.cpp
  app_control_windows_test.cpp
  shortcut_link_object_test.cpp
  shortcut_test.cpp
  web_encoding_test.cpp)
set(NAVOTOOLS_TEST_SOURCES_ui
  dialog_test.cpp
  message_box_terminal_test.cpp
  message_box_windows_test.cpp
  wait_cursor_handle_test.cpp
  wait_cursor_test.cpp)
set(NAVOTOOLS_TEST_SOURCES_version
  emulated_os_version_test.cpp
  file_version_test.cpp
  os_version_test.cpp)
set(NAVOTOOLS_TEST_SOURCES_win32
  codepage_test.cpp
  com_test.cpp
  fifo_readers_test.cpp
  file_version_info_test.cpp
  format_message_test.cpp
  hresult_messages_test.cpp
  language_test.cpp
  late_library_test.cpp
  paths_test.cpp
  pe_file_test.cpp
  pe_image_test.cpp
  process_test.cpp
  profile_encoding_test.cpp
  profile_errors_test.cpp
  profile_test.cpp
  profile_writers_test.cpp
  reg_file_test.cpp
  registry_sharing_test.cpp
  registry_state_test.cpp
  registry_test.cpp
  resource_enumeration_test.cpp
  resources_test.cpp
  shell_link_test.cpp
  strings_test.cpp
  upper_case_test.cpp
  utf_test.cpp
  version_block_test.cpp
  x11_windows_test.cpp)

# Every test file on disk is in a list (a check only: the lists above are the sources).
file(GLOB_RECURSE navotools_test_files_on_disk RELATIVE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
set(navotools_listed_test_files)
foreach(dir IN LISTS NAVOTOOLS_TEST_DIRS)
  foreach(file IN LISTS NAVOTOOLS_TEST_SOURCES_${dir})
    list(APPEND navotools_listed_test_files ${dir}/${file})
  endforeach()
endforeach()
list(REMOVE_ITEM navotools_test_files_on_disk ${navotools_listed_test_files})
if(navotools_test_files_on_disk)
  list(JOIN navotools_test_files_on_disk ", " unlisted)
  message(FATAL_ERROR "Test files in no list of tests/sources.cmake: ${unlisted}")
endif()

# The sources of the test program of `dir`, as full paths, in `out`.
function(navotools_test_sources dir out)
  set(sources)
  foreach(file IN LISTS NAVOTOOLS_TEST_SOURCES_${dir})
    list(APPEND sources ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${dir}/${file})
  endforeach()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
