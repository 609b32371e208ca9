# JNI helpers and attached invocations against the real OpenJDK 17, in one test binary
# that links libjvm.so and creates one JVM for all its tests.
if(EXISTS "${VARNLET_LIBJVM}")
  add_executable(jni_helper_tests jni_helpers_test.cpp jni_invoke_test.cpp jni_test_jvm.cpp)
  target_link_libraries(jni_helper_tests PRIVATE varnlet_core GTest::gtest "${VARNLET_LIBJVM}")
  target_compile_definitions(jni_helper_tests PRIVATE VARNLET_TEST_JAR="${VARNLET_TEST_JAR}")
  set_target_properties(jni_helper_tests PROPERTIES BUILD_RPATH "${VARNLET_JAVA_HOME}/lib/server")
  add_dependencies(jni_helper_tests java_test_apps)
  add_test(NAME jvm.jni_helpers COMMAND jni_helper_tests)
  set_tests_properties(jvm.jni_helpers PROPERTIES LABELS jvm TIMEOUT 120)
endif()
