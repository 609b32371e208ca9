# The Linux launcher run as a process with the real JVM: every scenario_<name> function of
# launcher_runs.py or of a runs_*.py beside it (found by its definition, like the wine
# scenarios) becomes jvm.run.<name>; launcher_runs.py runs them all.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND AND TARGET varnlet_pack AND EXISTS "${VARNLET_LIBJVM}")
  set(runs ${CMAKE_CURRENT_SOURCE_DIR}/launcher_runs.py)
  file(GLOB run_files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/runs_*.py)
  set(definitions)
  foreach(file IN LISTS runs run_files)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
    file(STRINGS ${file} found REGEX "^def scenario_[a-z0-9_]+\\(")
    list(APPEND definitions ${found})
  endforeach()
  foreach(definition IN LISTS definitions)
    string(REGEX REPLACE "^def scenario_([a-z0-9_]+)\\(.*" "\\1" scenario "${definition}")
    add_test(NAME jvm.run.${scenario}
      COMMAND Python3::Interpreter ${runs} --pack $<TARGET_FILE:varnlet_pack> --stub $<TARGET_FILE:varnlet_launcher>
        --jar ${VARNLET_TEST_JAR} --libjvm ${VARNLET_LIBJVM} --work ${CMAKE_CURRENT_BINARY_DIR}/runs ${scenario})
    set_tests_properties(jvm.run.${scenario} PROPERTIES LABELS jvm TIMEOUT 300)
  endforeach()
endif()
