# Compiles every Java source under tests/java into one classes directory and one jar.
# Provides the target java_test_apps and the variables VARNLET_TEST_CLASSES, VARNLET_TEST_JAR.
set(VARNLET_JAVAC "${VARNLET_JAVA_HOME}/bin/javac")
set(VARNLET_JAR "${VARNLET_JAVA_HOME}/bin/jar")
set(VARNLET_JAVA "${VARNLET_JAVA_HOME}/bin/java")
file(GLOB_RECURSE java_test_sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/tests/java/*.java")
set(VARNLET_TEST_CLASSES "${CMAKE_BINARY_DIR}/tests/java/classes")
set(VARNLET_TEST_JAR "${CMAKE_BINARY_DIR}/tests/java/testapps.jar")
if(java_test_sources)
  add_custom_command(OUTPUT "${VARNLET_TEST_JAR}"
    COMMAND ${CMAKE_COMMAND} -E rm -rf "${VARNLET_TEST_CLASSES}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${VARNLET_TEST_CLASSES}"
    COMMAND "${VARNLET_JAVAC}" -encoding UTF-8 -d "${VARNLET_TEST_CLASSES}" ${java_test_sources}
    COMMAND "${VARNLET_JAR}" cf "${VARNLET_TEST_JAR}" -C "${VARNLET_TEST_CLASSES}" .
    DEPENDS ${java_test_sources}
    COMMENT "Compiling the Java test applications")
  add_custom_target(java_test_apps ALL DEPENDS "${VARNLET_TEST_JAR}")
else()
  add_custom_target(java_test_apps)
endif()
