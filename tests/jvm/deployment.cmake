# Deployments of the Linux launcher: long non-ASCII texts and long installation paths.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND AND TARGET varnlet_pack AND EXISTS "${VARNLET_LIBJVM}")
  foreach(scenario longest_non_ascii_texts deep_cjk_directory)
    add_test(NAME jvm.deployment.${scenario}
      COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/deployment_runs.py
        --pack $<TARGET_FILE:varnlet_pack> --stub $<TARGET_FILE:varnlet_launcher>
        --jar ${VARNLET_TEST_JAR} --libjvm ${VARNLET_LIBJVM}
        --work ${CMAKE_CURRENT_BINARY_DIR}/deployment ${scenario})
    set_tests_properties(jvm.deployment.${scenario} PROPERTIES LABELS jvm TIMEOUT 300)
  endforeach()
endif()
