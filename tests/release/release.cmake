# The packages of two release runs, the second in build/release-check (see scripts/test.sh).
set(dist "${PROJECT_SOURCE_DIR}/dist")
add_test(NAME release.reproducible COMMAND diff -r "${dist}" "${PROJECT_SOURCE_DIR}/build/release-check/dist")
set_tests_properties(release.reproducible PROPERTIES LABELS release)
foreach(test linux_packages.win32 linux_packages.win64 windows_archive.win64)
  string(REPLACE "." ";" parts ${test})
  add_test(NAME release.${test} COMMAND ${Python3_EXECUTABLE} ${wine_dir}/winerun.py scenario release ${parts})
  set_tests_properties(release.${test} PROPERTIES LABELS release FIXTURES_REQUIRED wine_prefix RESOURCE_LOCK wine
    TIMEOUT 300 SKIP_RETURN_CODE 77 ENVIRONMENT "${wine_env};VARNLET_WINE_WORK=${wine_root}/work/release.${test};\
PYTHONPATH=${CMAKE_CURRENT_LIST_DIR};VARNLET_DIST=${dist};VARNLET_LIBJVM=${VARNLET_JAVA_HOME}/lib/server/libjvm.so;\
VARNLET_TEST_JAR=${CMAKE_BINARY_DIR}/tests/java/testapps.jar")
endforeach()
add_test(NAME release.symbol_versions COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/symbol_versions.py "${dist}")
set_tests_properties(release.symbol_versions PROPERTIES LABELS release)
