# The Linux launcher without JvmPath, finding the real OpenJDK as Debian installs it.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND AND TARGET varnlet_pack AND EXISTS "${VARNLET_LIBJVM}" AND EXISTS /usr/bin/java)
  add_test(NAME jvm.installed COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/installed_runs.py
    --pack $<TARGET_FILE:varnlet_pack> --stub $<TARGET_FILE:varnlet_launcher> --jar ${VARNLET_TEST_JAR}
    --libjvm ${VARNLET_LIBJVM} --work ${CMAKE_CURRENT_BINARY_DIR}/installed installed_runtimes)
  set_tests_properties(jvm.installed PROPERTIES LABELS jvm TIMEOUT 300)
endif()
