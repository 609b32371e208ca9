# The service runtime with the real OpenJDK 17 under a fake service control manager: one
# process per scenario, since a process holds one JVM and one scenario ends by System.exit.
if(EXISTS "${VARNLET_LIBJVM}")
  add_executable(service_jvm_driver service_jvm_driver.cpp ${PROJECT_SOURCE_DIR}/tests/fakes/fake_service.cpp)
  target_include_directories(service_jvm_driver PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(service_jvm_driver PRIVATE varnlet_core)
  add_dependencies(service_jvm_driver java_test_apps)
  set(service_work ${CMAKE_CURRENT_BINARY_DIR}/service)
  file(MAKE_DIRECTORY ${service_work})
  foreach(scenario stop_by_main several_stops stop_before_jvm stop_by_exit stop_after_end)
    add_test(NAME jvm.service.${scenario}
      COMMAND service_jvm_driver ${scenario} ${VARNLET_TEST_CLASSES} ${VARNLET_LIBJVM} ${service_work})
    set_tests_properties(jvm.service.${scenario} PROPERTIES LABELS jvm TIMEOUT 120
      PASS_REGULAR_EXPRESSION "service-jvm: ok" FAIL_REGULAR_EXPRESSION "FAILED")
  endforeach()
endif()
