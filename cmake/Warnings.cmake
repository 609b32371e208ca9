# The warnings our own targets are built with, as errors: each target of this tree names
# itself (varnlet_warnings(target ...)), so what we build from elsewhere (GoogleTest, toml++,
# jni.h, zlib, reached as system headers) is never held to them. A warning that slips in
# through a newer compiler stops the build; -DVARNLET_WERROR=OFF keeps it a warning.
option(VARNLET_WERROR "Treat the warnings of our own targets as errors" ON)

set(varnlet_warning_flags
  -Wall -Wextra -Wno-unused-parameter  # the platform table's slots take what they may not use
  -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-qual -Wpointer-arith -Wundef -Wextra-semi
  -Wredundant-decls -Wimplicit-fallthrough -Wsuggest-override
  -Wformat=2 -Wno-format-nonliteral)  # messages are configured texts, read by our own formatter
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND varnlet_warning_flags -Wmissing-declarations -Wduplicated-cond -Wduplicated-branches -Wlogical-op)
  if(CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 at -O3 (the Linux release) sees overlapping copies inside std::string's own
    # code that cannot happen (a known false alarm of that compiler, mended in 13).
    list(APPEND varnlet_warning_flags -Wno-restrict)
  endif()
elseif(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  list(APPEND varnlet_warning_flags -Wmissing-prototypes -Wloop-analysis -Wunreachable-code)
endif()
if(VARNLET_WERROR)
  list(APPEND varnlet_warning_flags -Werror)
endif()

function(varnlet_warnings)
  foreach(target IN LISTS ARGN)
    # Not for the resource compiler, which reads the same options.
    target_compile_options(${target} PRIVATE "$<$<COMPILE_LANGUAGE:C,CXX>:${varnlet_warning_flags}>")
  endforeach()
endfunction()
