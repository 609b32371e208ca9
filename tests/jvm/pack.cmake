# varnlet-pack against the real launcher bodies: round trips for all three targets,
# independent readers (objdump, wrestool) on the Windows launchers, and the command line on
# bad input. None needs a JVM.
if(TARGET varnlet_pack)
  set(pack_dir ${PROJECT_SOURCE_DIR}/tests/pack)
  set(pack_work ${CMAKE_CURRENT_BINARY_DIR}/pack)
  set(pack_bodies
    linux "$<TARGET_FILE:varnlet_launcher>"
    win32 "${VARNLET_WIN32_BUILD_DIR}/varnlet.exe"
    win64 "${VARNLET_WIN64_BUILD_DIR}/varnlet64.exe")
  foreach(i 0 2 4)
    math(EXPR j "${i} + 1")
    list(GET pack_bodies ${i} target)
    list(GET pack_bodies ${j} body)
    add_test(NAME pack.roundtrip.${target}
      COMMAND bash ${pack_dir}/roundtrip.sh $<TARGET_FILE:varnlet_pack> ${target} ${body} ${pack_work})
    set_tests_properties(pack.roundtrip.${target} PROPERTIES LABELS unit SKIP_RETURN_CODE 77 TIMEOUT 60)
  endforeach()
  foreach(arch win32 win64)
    if(arch STREQUAL win32)
      set(objdump_name i686-w64-mingw32-objdump)
      set(body "${VARNLET_WIN32_BUILD_DIR}/varnlet.exe")
    else()
      set(objdump_name x86_64-w64-mingw32-objdump)
      set(body "${VARNLET_WIN64_BUILD_DIR}/varnlet64.exe")
    endif()
    find_program(VARNLET_OBJDUMP_${arch} ${objdump_name})
    if(VARNLET_OBJDUMP_${arch})
      add_test(NAME pack.binutils.${arch}
        COMMAND bash ${pack_dir}/binutils_check.sh $<TARGET_FILE:varnlet_pack> ${VARNLET_OBJDUMP_${arch}} ${body} ${pack_work})
      set_tests_properties(pack.binutils.${arch} PROPERTIES LABELS unit SKIP_RETURN_CODE 77 TIMEOUT 60)
    endif()
  endforeach()
  add_test(NAME pack.cli
    COMMAND bash ${pack_dir}/cli_check.sh $<TARGET_FILE:varnlet_pack> $<TARGET_FILE:varnlet_launcher> ${pack_work}/cli)
  set_tests_properties(pack.cli PROPERTIES LABELS unit TIMEOUT 60)
endif()
