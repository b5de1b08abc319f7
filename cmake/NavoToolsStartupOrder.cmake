# The code that every run executes, laid out together. A short run maps its code a page
# fault at a time, and the kernel maps the neighbouring pages of each: with the functions
# that loading the library, starting the tool and reading a version execute spread over
# the whole of each object, a run faulted in nearly every 64 KiB of both. Compiled one
# section per function and linked by lld in the order of cmake/startup_order.txt (written
# by scripts/startup_order.py from a profile of `navotools fileversion`), they share a few
# pages. Without lld the objects link as before, unordered.
include(CheckLinkerFlag)
set(NAVOTOOLS_STARTUP_ORDER ${CMAKE_CURRENT_LIST_DIR}/startup_order.txt)
check_linker_flag(CXX -fuse-ld=lld NAVOTOOLS_HAVE_LLD)

# Each function of the targets' code in a section of its own, for the linker to place.
function(navotools_compile_for_startup_order)
  if(NAVOTOOLS_HAVE_LLD)
    foreach(target IN LISTS ARGN)
      target_compile_options(${target} PRIVATE -ffunction-sections)
    endforeach()
  endif()
endfunction()

# The targets linked by lld with the start-up's functions first. Code stays apart from
# the read-only data, as the system's linker keeps it (-z separate-code); a listed name
# that the target lacks is skipped without a word.
function(navotools_link_in_startup_order)
  if(NAVOTOOLS_HAVE_LLD)
    foreach(target IN LISTS ARGN)
      target_link_options(${target} PRIVATE -fuse-ld=lld LINKER:-z,separate-code
                          LINKER:--symbol-ordering-file=${NAVOTOOLS_STARTUP_ORDER}
                          LINKER:--no-warn-symbol-ordering)
      set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${NAVOTOOLS_STARTUP_ORDER})
    endforeach()
  endif()
endfunction()
