# The release packages (scripts/release.sh): install rules and the Debian package. The Linux
# release tree installs varnlet-pack in bin/, every launcher body in share/varnlet/ (the Windows
# ones from the win32 and win64 release trees), where varnlet-pack finds them, the texts in
# share/doc/varnlet/, the manual page in share/man/man1/ and the Java packer and Maven plugin in
# share/varnlet/maven/. make_release.sh makes the archives from the same install tree.
if(WIN32)
  return()
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/QUICKSTART "${CMAKE_BINARY_DIR}/QUICKSTART" @ONLY)
# The package's changelog, dated SOURCE_DATE_EPOCH (which string(TIMESTAMP) honours), gzip
# without name and time.
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in "${CMAKE_BINARY_DIR}/changelog" @ONLY)
execute_process(COMMAND gzip -9nf "${CMAKE_BINARY_DIR}/changelog" COMMAND_ERROR_IS_FATAL ANY)
# The manual page, gzipped without name and time like the changelog.
execute_process(COMMAND gzip -9n -c "${CMAKE_CURRENT_LIST_DIR}/varnlet-pack.1"
                OUTPUT_FILE "${CMAKE_BINARY_DIR}/varnlet-pack.1.gz" COMMAND_ERROR_IS_FATAL ANY)
install(FILES "${CMAKE_BINARY_DIR}/varnlet-pack.1.gz" DESTINATION share/man/man1)
install(TARGETS varnlet_pack DESTINATION bin)
install(TARGETS varnlet_launcher DESTINATION share/varnlet)
install(PROGRAMS "${VARNLET_WIN32_BUILD_DIR}/varnlet.exe" "${VARNLET_WIN64_BUILD_DIR}/varnlet64.exe"
        DESTINATION share/varnlet)
# The user's guide with its image, which it links beside itself; the README and docs/HACKING.md
# are for working on the source and stay out.
install(FILES ${PROJECT_SOURCE_DIR}/docs/GUIDE.md ${PROJECT_SOURCE_DIR}/docs/report-dialog.png "${CMAKE_BINARY_DIR}/QUICKSTART"
        "${CMAKE_BINARY_DIR}/changelog.gz" DESTINATION share/doc/varnlet)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION share/doc/varnlet RENAME copyright)
# The Java packer and the Maven plugin with their POMs, named as `mvn install:install-file` and
# a repository take them.
if(NOT TARGET varnlet_maven_plugin)
  message(FATAL_ERROR "The release carries the Maven plugin: install Maven and Debian's Maven plugins (scripts/setup.sh release)")
endif()
install(FILES "${VARNLET_PACK_JAR}" DESTINATION share/varnlet/maven RENAME varnlet-pack-${PROJECT_VERSION}.jar)
install(FILES "${VARNLET_PLUGIN_POM}" DESTINATION share/varnlet/maven RENAME varnlet-maven-plugin-${PROJECT_VERSION}.pom)
install(FILES "${VARNLET_PACK_POM}" "${VARNLET_PLUGIN_JAR}" DESTINATION share/varnlet/maven)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides DESTINATION share/lintian/overrides RENAME varnlet)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnlet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the Varnlet authors <varnlet@example.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/varnlet")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "native launcher for Java applications")
set(CPACK_PACKAGE_DESCRIPTION "Varnlet makes an executable that starts a Java application.
varnlet-pack writes the application's configuration (main class, class path,
JVM options, service settings) into a copy of a launcher body for 32-bit or
64-bit Windows or Linux; the launcher finds a Java runtime and runs the
application in-process.")
set(CPACK_STRIP_FILES OFF)
include(CPack)
