# varnlet-pack against the real launcher bodies (no JVM needed): a round trip per target read
# back by an independent reader, and the command line on bad input.
if(TARGET varnlet_pack)
  set(pack_bodies cli "$<TARGET_FILE:varnlet_launcher>" linux "$<TARGET_FILE:varnlet_launcher>"
    win32 "${VARNLET_WIN32_BUILD_DIR}/varnlet.exe" win64 "${VARNLET_WIN64_BUILD_DIR}/varnlet64.exe")
  foreach(i 0 2 4 6)
    math(EXPR j "${i} + 1")
    list(GET pack_bodies ${i} target)
    list(GET pack_bodies ${j} body)
    set(name roundtrip.${target})
    if(target STREQUAL cli)
      set(name cli)
    endif()
    add_test(NAME pack.${name} COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tests/pack/pack_check.py
      $<TARGET_FILE:varnlet_pack> ${CMAKE_CURRENT_BINARY_DIR}/pack/${target} ${target} ${body})
    set_tests_properties(pack.${name} PROPERTIES LABELS unit SKIP_RETURN_CODE 77 TIMEOUT 60)
  endforeach()
endif()
