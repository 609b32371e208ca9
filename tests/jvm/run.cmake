# The Linux launcher run as a process with the real JVM: every scenario of
# launcher_runs.py packs its own launcher with varnlet-pack and runs a test app.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND AND TARGET varnlet_pack AND EXISTS "${VARNLET_LIBJVM}")
  set(run_scenarios
    command_line_replaces_app_options app_options_split empty_app_options non_ascii_arguments
    long_non_ascii_texts_and_directory
    directories relative_paths_follow_the_early_working_directory working_directory_missing
    stream_redirection same_file_for_both_streams redirection_into_missing_directory
    class_not_found no_main_method main_throws non_daemon_thread_outlives_main
    runtime_not_found library_not_loadable library_without_jni_exports jvm_creation_fails
    unrecognized_options_ignored checked_jni)
  foreach(scenario IN LISTS run_scenarios)
    add_test(NAME jvm.run.${scenario}
      COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/launcher_runs.py
        --pack $<TARGET_FILE:varnlet_pack> --stub $<TARGET_FILE:varnlet_launcher>
        --jar ${VARNLET_TEST_JAR} --libjvm ${VARNLET_LIBJVM}
        --work ${CMAKE_CURRENT_BINARY_DIR}/runs ${scenario})
    set_tests_properties(jvm.run.${scenario} PROPERTIES LABELS jvm TIMEOUT 300)
  endforeach()
endif()
