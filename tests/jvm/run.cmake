# The Linux launcher run as a process with the real JVM: every scenario_<name> function of
# launcher_runs.py or of a runs_*.py beside it becomes jvm.run.<name>.
if(TARGET varnlet_pack AND EXISTS "${VARNLET_LIBJVM}")
  file(GLOB run_files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/launcher_runs.py ${CMAKE_CURRENT_SOURCE_DIR}/runs_*.py)
  foreach(file IN LISTS run_files)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
    file(STRINGS ${file} definitions REGEX "^def scenario_[a-z0-9_]+\\(")
    foreach(definition IN LISTS definitions)
      string(REGEX REPLACE "^def scenario_([a-z0-9_]+)\\(.*" "\\1" scenario "${definition}")
      add_test(NAME jvm.run.${scenario} COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/launcher_runs.py
        --pack $<TARGET_FILE:varnlet_pack> --stub $<TARGET_FILE:varnlet_launcher> --jar ${VARNLET_TEST_JAR}
        --libjvm ${VARNLET_LIBJVM} --work ${CMAKE_CURRENT_BINARY_DIR}/runs ${scenario})
      set_tests_properties(jvm.run.${scenario} PROPERTIES LABELS jvm TIMEOUT 300)
    endforeach()
  endforeach()
endif()
