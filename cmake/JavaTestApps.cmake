# Compiles the Java sources of tests/java (listed below) into one classes directory and one jar.
# Provides the target java_test_apps and the variables VARNLET_TEST_CLASSES, VARNLET_TEST_JAR.
set(VARNLET_JAVAC "${VARNLET_JAVA_HOME}/bin/javac")
set(VARNLET_JAR "${VARNLET_JAVA_HOME}/bin/jar")
set(VARNLET_JAVA "${VARNLET_JAVA_HOME}/bin/java")
set(java_test_sources
  "${PROJECT_SOURCE_DIR}/tests/java/service/ServiceApp.java"
  "${PROJECT_SOURCE_DIR}/tests/java/varnlet/testapps/CommandTool.java"
  "${PROJECT_SOURCE_DIR}/tests/java/varnlet/testapps/Hello.java"
  "${PROJECT_SOURCE_DIR}/tests/java/varnlet/testapps/LogLines.java"
  "${PROJECT_SOURCE_DIR}/tests/java/varnlet/testapps/NonDaemon.java"
  "${PROJECT_SOURCE_DIR}/tests/java/varnlet/testapps/PrintArgs.java"
  "${PROJECT_SOURCE_DIR}/tests/java/varnlet/testapps/SplashWait.java"
  "${PROJECT_SOURCE_DIR}/tests/java/varnlet/testapps/Throws.java"
)
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
# Applications as they ship (tests/java-launch): an executable jar with its manifest and the
# jar its Class-Path names, and a modular jar whose descriptor names its main class (and which
# holds PrintArgs too), in
# VARNLET_LAUNCH_APPS (jarapp.jar, lib/jarlib.jar, mods/varnlet.modapp.jar).
set(VARNLET_LAUNCH_APPS "${CMAKE_BINARY_DIR}/tests/java/launch")
set(launch_src "${PROJECT_SOURCE_DIR}/tests/java-launch")
set(modapp_sources
  "${launch_src}/modapp/module-info.java"
  "${launch_src}/modapp/varnlet/modapp/ModMain.java"
  "${launch_src}/modapp/varnlet/modapp/Second.java"
  "${PROJECT_SOURCE_DIR}/tests/java/varnlet/testapps/PrintArgs.java"
)
set(launch_sources
  "${launch_src}/jarapp/MANIFEST.MF"
  "${launch_src}/jarapp/varnlet/jarapp/JarMain.java"
  "${launch_src}/jarlib/varnlet/jarlib/Library.java"
  ${modapp_sources}
)
set(launch_jars "${VARNLET_LAUNCH_APPS}/jarapp.jar" "${VARNLET_LAUNCH_APPS}/lib/jarlib.jar" "${VARNLET_LAUNCH_APPS}/mods/varnlet.modapp.jar")
add_custom_command(OUTPUT ${launch_jars}
  COMMAND ${CMAKE_COMMAND} -E rm -rf "${VARNLET_LAUNCH_APPS}"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${VARNLET_LAUNCH_APPS}/lib" "${VARNLET_LAUNCH_APPS}/mods"
  COMMAND "${VARNLET_JAVAC}" -d "${VARNLET_LAUNCH_APPS}/classes/lib" "${launch_src}/jarlib/varnlet/jarlib/Library.java"
  COMMAND "${VARNLET_JAR}" cf "${VARNLET_LAUNCH_APPS}/lib/jarlib.jar" -C "${VARNLET_LAUNCH_APPS}/classes/lib" .
  COMMAND "${VARNLET_JAVAC}" -cp "${VARNLET_LAUNCH_APPS}/lib/jarlib.jar" -d "${VARNLET_LAUNCH_APPS}/classes/app" "${launch_src}/jarapp/varnlet/jarapp/JarMain.java"
  COMMAND "${VARNLET_JAR}" cfem "${VARNLET_LAUNCH_APPS}/jarapp.jar" varnlet.jarapp.JarMain "${launch_src}/jarapp/MANIFEST.MF" -C "${VARNLET_LAUNCH_APPS}/classes/app" .
  COMMAND "${VARNLET_JAVAC}" -d "${VARNLET_LAUNCH_APPS}/classes/mod" ${modapp_sources}
  COMMAND "${VARNLET_JAR}" --create --file "${VARNLET_LAUNCH_APPS}/mods/varnlet.modapp.jar" --main-class varnlet.modapp.ModMain -C "${VARNLET_LAUNCH_APPS}/classes/mod" .
  DEPENDS ${launch_sources}
  COMMENT "Building the jars of the applications as they ship")
add_custom_target(java_launch_apps ALL DEPENDS ${launch_jars})
