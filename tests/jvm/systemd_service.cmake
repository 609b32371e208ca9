# The Linux launcher as a systemd service (systemd_service.py), with the real JVM.
if(Python3_FOUND AND TARGET varnlet_pack AND EXISTS "${VARNLET_LIBJVM}")
  foreach(scenario unit_file_install_and_uninstall notify_ready_and_stop_by_sigterm stop_while_the_jvm_starts
          ignored_stop_times_out
          throwing_main_fails_the_service)
    add_test(NAME jvm.systemd.${scenario}
      COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/systemd_service.py
        --pack $<TARGET_FILE:varnlet_pack> --stub $<TARGET_FILE:varnlet_launcher>
        --jar ${VARNLET_TEST_JAR} --libjvm ${VARNLET_LIBJVM}
        --work ${CMAKE_CURRENT_BINARY_DIR}/systemd ${scenario})
    set_tests_properties(jvm.systemd.${scenario} PROPERTIES LABELS jvm TIMEOUT 180)
  endforeach()
endif()
