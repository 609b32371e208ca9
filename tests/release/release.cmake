# The packages scripts/release.sh wrote (label release: ctest --preset release, after two
# release runs, the second in build/release-check).
set(VARNLET_DIST "${PROJECT_SOURCE_DIR}/dist" CACHE PATH "Output of scripts/release.sh")
set(VARNLET_DIST_AGAIN "${PROJECT_SOURCE_DIR}/build/release-check/dist" CACHE PATH "Output of a second release run")
add_test(NAME release.reproducible COMMAND diff -r "${VARNLET_DIST}" "${VARNLET_DIST_AGAIN}")
set_tests_properties(release.reproducible PROPERTIES LABELS release)
foreach(test linux_archive.win32 linux_archive.win64 windows_archive.win64 deb.win64)
  string(REPLACE "." ";" parts ${test})
  add_test(NAME release.${test} COMMAND ${Python3_EXECUTABLE} ${wine_dir}/winerun.py scenario release ${parts})
  set_tests_properties(release.${test} PROPERTIES LABELS release FIXTURES_REQUIRED wine_prefix RESOURCE_LOCK wine
    TIMEOUT 300 SKIP_RETURN_CODE 77 ENVIRONMENT "${wine_env};VARNLET_WINE_WORK=${wine_root}/work/release.${test};\
PYTHONPATH=${CMAKE_CURRENT_LIST_DIR};VARNLET_DIST=${VARNLET_DIST};VARNLET_LIBJVM=${VARNLET_JAVA_HOME}/lib/server/libjvm.so;\
VARNLET_TEST_JAR=${CMAKE_BINARY_DIR}/tests/java/testapps.jar")
endforeach()
