# The test programs of the Windows build (mingw-w64), x64 and x86. They run under Wine
# through CTest (CMAKE_CROSSCOMPILING_EMULATOR), x64 programs under Wine 64-bit and x86 ones
# under Wine 32-bit; tests/windows_artefact_checks.sh checks the DLL itself.
#
# The same folders and files as on Linux (tests/sources.cmake), with the tests that are
# Linux-specific by nature left out, each with its reason. Checks where Wine departs from the
# platform are marked TodoWine (support/platform.h): they run under Wine and are expected to
# fail there.
cmake_minimum_required(VERSION 3.25)  # gtest_discover_tests(TEST_FILTER)
include(GoogleTest)

# GoogleTest has no mingw-w64 package in Debian: it is built here from the sources of
# Debian's googletest package, with the same compiler.
set(NAVOTOOLS_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (Debian: googletest)")
if(NOT EXISTS ${NAVOTOOLS_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "The Windows tests build GoogleTest from ${NAVOTOOLS_GOOGLETEST_SOURCE_DIR} "
                      "(Debian package googletest); set NAVOTOOLS_GOOGLETEST_SOURCE_DIR")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${NAVOTOOLS_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(t gtest gtest_main gmock gmock_main)
  # Third-party code: its own warnings are not this project's to fix.
  set_property(TARGET ${t} PROPERTY COMPILE_OPTIONS -w)
endforeach()

# Folders left out on Windows, with the reason.
set(NAVOTOOLS_WINDOWS_SKIPPED_DIRS
  "mailprovider:the default Simple MAPI provider is the Linux mapi32.dll.so; its tests fork and read the outbox with Python")
# Files left out on Windows, with the reason.
set(NAVOTOOLS_WINDOWS_SKIPPED_FILES
  "shell/app_control_test.cpp:X11 windows on a virtual display (Xvfb), fork and SIGKILL"
  "shell/shortcut_test.cpp:reads the links back with lnkinfo and works in the Linux state directory"
  "version/emulated_os_version_test.cpp:the reported OS version of the Linux state directory"
  "win32/late_library_test.cpp:the Linux layer's loading of ICU, Xlib and SQLite on first use"
  "win32/language_test.cpp:the UI language from the Linux locale variables"
  "win32/late_library_test.cpp:the Linux layer loads ICU, Xlib and SQLite on first use"
  "win32/paths_test.cpp:the Linux state directory and its Windows folders"
  "win32/pe_image_test.cpp:the Linux layer's PE and ELF readers"
  "win32/pe_file_test.cpp:the Linux layer's piecewise reader of module files"
  "win32/process_test.cpp:the Linux process layer (command lines, Xvfb)"
  "win32/reg_file_test.cpp:the Linux layer's .reg reader"
  "win32/registry_sharing_test.cpp:SQLite store internals, fork and SIGKILL"
  "win32/resource_enumeration_test.cpp:the Linux layer's module table (modules.h)"
  "win32/shell_link_test.cpp:the Linux layer's link format and lnkinfo"
  "win32/upper_case_test.cpp:the Linux layer's case tables and registry key paths, checked against ICU"
  "win32/utf_test.cpp:the Linux layer's UTF converter (formats/utf.h)"
  "win32/version_block_test.cpp:the Linux layer's version block reader"
  "win32/x11_windows_test.cpp:X11 windows on a virtual display (Xvfb)")
# Single tests left out on Windows, with the reason (gtest filter patterns).
set(NAVOTOOLS_WINDOWS_SKIPPED_TESTS
  "OSVersionRecord.ConstructionAsksThePlatformWithTheRecordsSize:sets the reported version through NAVOTOOLS_OSVERSION of the Linux layer"
  "FormatMessageArgumentCount.*:the argument count is an extension of the Linux layer (NavoFormatMessageArrayA)"
  "FormatMessageParameters.NullStringSourceIsRefused:the Linux layer refuses a null source; the platform does not check it"
  "FormatMessageParameters.NullBufferThatWouldFitIsRefused:the Linux layer refuses a null buffer; the platform crashes"
  "VersionQueryArguments.NullBlockOrResultIsRefused:the Linux layer refuses null arguments; the platform does not check them"
  "ProfileTest.ASectionThatAppearsTwiceIsReadAsOne:the Linux layer reads a repeated section as one; Wine reads the first only"
  "ProfileTest.WritesRefuseLineBreaks:the Linux layer refuses line breaks in what is written, which would add lines; the platform writes them"
  "ProfileErrors.NullArgumentsAreRefused:the Linux layer refuses null arguments; the platform does not check them (Wine writes WIN.INI for a null file name)"
  "ResourceLanguage.HandlesThatNameNoModuleAreRefused:the Linux layer checks module handles; the platform reads through them")

# Environments of the test programs of a folder.
# The user's locale of a Windows process is fixed when it starts (Wine takes it from LC_ALL):
# the resource DLL tests run in French (France), and the cases of other locales have runs of
# their own below.
set(NAVOTOOLS_WINDOWS_TEST_ENVIRONMENT_resdll "LC_ALL=fr_FR.UTF-8")

set(skipped_dirs)
foreach(entry IN LISTS NAVOTOOLS_WINDOWS_SKIPPED_DIRS)
  string(FIND "${entry}" ":" colon)
  string(SUBSTRING "${entry}" 0 ${colon} dir)
  list(APPEND skipped_dirs ${dir})
endforeach()
set(skipped_files)
foreach(entry IN LISTS NAVOTOOLS_WINDOWS_SKIPPED_FILES)
  string(FIND "${entry}" ":" colon)
  string(SUBSTRING "${entry}" 0 ${colon} file)
  if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${file})
    message(FATAL_ERROR "NAVOTOOLS_WINDOWS_SKIPPED_FILES names ${file}, which does not exist")
  endif()
  list(APPEND skipped_files ${CMAKE_CURRENT_SOURCE_DIR}/${file})
endforeach()
set(negative_filter)
foreach(entry IN LISTS NAVOTOOLS_WINDOWS_SKIPPED_TESTS)
  string(FIND "${entry}" ":" colon)
  string(SUBSTRING "${entry}" 0 ${colon} pattern)
  list(APPEND negative_filter ${pattern})
endforeach()
list(JOIN negative_filter ":" negative_filter)

# The programs run under Wine, in a prefix of the build tree that tests/wine_run.sh creates
# on first use: x64 programs under Wine 64-bit, x86 programs under Wine 32-bit (Debian's
# wine32:i386, beside wine64 in one WoW64 installation). Wine 32-bit is itself a 32-bit
# Linux program: where the kernel runs none (i386 execve fails with "Exec format error"),
# the x86 programs are built, and one test says why they are not run.
set(NAVOTOOLS_RUN_TESTS OFF)
set(NAVOTOOLS_NOT_RUN_REASON)
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  find_program(NAVOTOOLS_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(NAVOTOOLS_WINE NAMES wine64 wine)
  set(wine_package "wine64")
elseif(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  # The 32-bit loader itself, not /usr/bin/wine, which would fall back to wine64.
  find_program(NAVOTOOLS_WINE NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
  set(wine_package "wine32:i386")
endif()
if(NAVOTOOLS_WINE)
  # Through bash, which tells a binary the kernel refuses from a script (exec would run it
  # as one).
  execute_process(COMMAND bash -c "\"$0\" --version" ${NAVOTOOLS_WINE} RESULT_VARIABLE wine_result
    OUTPUT_QUIET ERROR_VARIABLE wine_error TIMEOUT 60)
  if(wine_result EQUAL 0)
    set(NAVOTOOLS_RUN_TESTS ON)
  else()
    string(STRIP "${wine_error}" wine_error)
    string(REPLACE "'" "" wine_error "${wine_error}")  # quoted in the test's command below
    set(NAVOTOOLS_NOT_RUN_REASON "${NAVOTOOLS_WINE} does not run on this machine (${wine_result}: ${wine_error})")
  endif()
elseif(DEFINED wine_package)
  set(NAVOTOOLS_NOT_RUN_REASON "Wine is not installed (Debian package ${wine_package})")
endif()
if(NAVOTOOLS_NOT_RUN_REASON)
  message(WARNING "The Windows tests are built but not run: ${NAVOTOOLS_NOT_RUN_REASON}")
  # A test that shows the reason among the skipped ones, and fails once Wine runs here, so
  # that a build configured without it is configured again.
  add_test(NAME Wine.RunsTheTestPrograms COMMAND bash -c
    "if '${NAVOTOOLS_WINE}' --version >/dev/null 2>&1; then echo 'Wine runs here now: configure again to run the tests'; exit 1; fi; echo 'skipped: the test programs are built but not run: ${NAVOTOOLS_NOT_RUN_REASON}'; exit 77")
  set_tests_properties(Wine.RunsTheTestPrograms PROPERTIES SKIP_RETURN_CODE 77)
endif()

foreach(name IN LISTS NAVOTOOLS_TEST_DIRS)
  set(dir ${CMAKE_CURRENT_SOURCE_DIR}/${name})
  if(name IN_LIST skipped_dirs)
    continue()
  endif()
  navotools_test_sources(${name} sources)
  list(REMOVE_ITEM sources ${skipped_files})
  if(NOT sources)
    continue()
  endif()
  set(exe navotools_${name}_tests)
  # Each program carries a manifest that makes its ANSI code page UTF-8.
  add_executable(${exe} ${sources} ${CMAKE_CURRENT_SOURCE_DIR}/support/utf8_code_page.rc)
  target_include_directories(${exe} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${exe} PRIVATE -include ${CMAKE_CURRENT_SOURCE_DIR}/support/windows_shims.h)
  if(name STREQUAL "win32")
    # The platform's API itself: these tests link the system libraries, not NavoTools.
    # (They still need the x86 build's run-time DLLs, which its build puts beside them.)
    target_link_libraries(${exe} PRIVATE navo_win32 gtest_main gmock)
    add_dependencies(${exe} NavoTools)
  else()
    target_link_libraries(${exe} PRIVATE NavoTools gtest_main gmock)
  endif()
  # The programs find NavoTools.dll next to them.
  set_target_properties(${exe} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
  target_compile_definitions(${exe} PRIVATE
    NAVOTOOLS_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
    NAVOTOOLS_TEST_BINARY_DIR="${CMAKE_CURRENT_BINARY_DIR}"
    NAVOTOOLS_TEST_SOURCE_DIR="${dir}")
  if(NAVOTOOLS_RUN_TESTS)
    set_property(TARGET ${exe} PROPERTY CROSSCOMPILING_EMULATOR
      sh ${CMAKE_CURRENT_SOURCE_DIR}/wine_run.sh ${NAVOTOOLS_WINE} ${CMAKE_BINARY_DIR}/wineprefix)
    set(properties)
    if(DEFINED NAVOTOOLS_WINDOWS_TEST_ENVIRONMENT_${name})
      list(APPEND properties ENVIRONMENT "${NAVOTOOLS_WINDOWS_TEST_ENVIRONMENT_${name}}")
    endif()
    if(name STREQUAL "mail")
      # The mail tests write WIN.INI of the Windows folder, which every program shares.
      list(APPEND properties RUN_SERIAL TRUE)
    endif()
    if(properties)
      list(PREPEND properties PROPERTIES)
    endif()
    gtest_discover_tests(${exe} DISCOVERY_MODE PRE_TEST
      TEST_FILTER "-${negative_filter}"
      DISCOVERY_TIMEOUT 300
      ${properties})
  endif()
endforeach()

# A run of the program of `folder` with a gtest filter, in a process started in `locale`
# (Wine takes the user's locale and UI language from LC_ALL). A run where nothing passed,
# because the locale did not take, fails, as does one whose output matches `fail_regex`.
function(navotools_add_locale_run name folder filter locale fail_regex)
  add_test(NAME ${name}.in_${locale} COMMAND navotools_${folder}_tests "--gtest_filter=${filter}")
  set_tests_properties(${name}.in_${locale} PROPERTIES ENVIRONMENT "LC_ALL=${locale}.UTF-8"
    PASS_REGULAR_EXPRESSION "PASSED  \\] [1-9]" FAIL_REGULAR_EXPRESSION "${fail_regex}")
endfunction()

# The resource DLL tests of the other user locales, each in a process started in it.
if(NAVOTOOLS_RUN_TESTS AND TARGET navotools_resdll_tests)
  foreach(locale ko_KR fr_CA en_US fr_BE)
    navotools_add_locale_run(ResourceDllLoader resdll "Locales/*:ResourceDllLoaderTest.CanadianFrench*" ${locale}
      "FAILED  \\]")
  endforeach()
endif()

# Tests whose resource lookups need the Korean UI language. Wine's lookups follow the user's
# UI language, fixed when the process starts (from LC_ALL), so these have a run of their own
# in Korean; in the other runs they skip themselves. Each run holds one test, which must run.
set(NAVOTOOLS_WINDOWS_KOREAN_RUNS
  "frame:StringTable.KoreanLacksOnlyTheMailRows"
  "mfc:CStringFormat.MessageById"
  "win32:ResourceLanguage.LookupUnderKoreanLacksRowsMissingFromItsBlock")
if(NAVOTOOLS_RUN_TESTS)
  foreach(entry IN LISTS NAVOTOOLS_WINDOWS_KOREAN_RUNS)
    string(REPLACE ":" ";" parts "${entry}")
    list(GET parts 0 folder)
    list(GET parts 1 filter)
    navotools_add_locale_run(${filter} ${folder} ${filter} ko_KR "FAILED  \\]|SKIPPED \\]")
  endforeach()
endif()

# The PE fixtures: the same scripts and linker as on Linux (host llvm-rc and lld-link).
include(${CMAKE_CURRENT_SOURCE_DIR}/fixtures.cmake)
