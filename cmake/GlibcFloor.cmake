# The Linux programs we ship run on glibc 2.17 and later and need no libstdc++ or libgcc of
# the system: the C++ runtime is linked in, and every call the linker would bind to a glibc
# version above 2.17 goes through a wrapper of src/platform/posix/glibc_floor.cpp (a --wrap
# option for each __wrap_ function defined there). libdl and libpthread are named as needed
# libraries, since glibc before 2.34 keeps dlopen and pthread_create there. The sanitizer and
# fuzz builds link their own runtimes against the build machine's glibc and are left as they are.
set(glibc_floor_source ${PROJECT_SOURCE_DIR}/src/platform/posix/glibc_floor.cpp)
file(STRINGS ${glibc_floor_source} glibc_floor_wrappers REGEX "^[a-z].* __wrap_[A-Za-z0-9_]+[ (]")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${glibc_floor_source})  # a new wrapper, a new option
set(glibc_floor_options -static-libstdc++ -static-libgcc)
foreach(line IN LISTS glibc_floor_wrappers)
  string(REGEX REPLACE ".* __wrap_([A-Za-z0-9_]+)[ (].*" "\\1" name "${line}")
  list(APPEND glibc_floor_options "-Wl,--wrap=${name}")
endforeach()

function(varnlet_hold_glibc_floor target)
  if(WIN32 OR VARNLET_SANITIZE OR VARNLET_TSAN OR VARNLET_FUZZ)
    return()
  endif()
  target_sources(${target} PRIVATE ${glibc_floor_source})
  target_link_options(${target} PRIVATE ${glibc_floor_options})
  target_link_libraries(${target} PRIVATE "-Wl,--push-state,--no-as-needed" -l:libpthread.so.0 -l:libdl.so.2
                        "-Wl,--pop-state")
endfunction()
