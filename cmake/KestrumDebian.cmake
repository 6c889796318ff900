# `cpack -G DEB` in a build folder: one Debian package, kestrum_<version>_<arch>.deb, installed
# under /usr, whose dependencies dpkg-shlibdeps computes from the binaries.
set(KESTRUM_PACKAGE_MAINTAINER "Kestrum maintainers <kestrum@example.org>" CACHE STRING
  "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrum)
set(CPACK_PACKAGE_VENDOR Kestrum)
set(CPACK_PACKAGE_CONTACT "${KESTRUM_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "guide an application through the desktop's privacy permissions")
set(CPACK_PACKAGE_DESCRIPTION "KestrumHelper answers a permission's state, opens the system
settings at the right list, and shows a floating panel with a card of the
application to drag into that list. Every run prints one JSON line.
.
The package also holds the C++20 library, its Linux ports and the CMake
and pkg-config files for applications that link it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The shlibs file names the versioned libraries of /usr/lib, which other packages link. CPack would
# list every shared object and warn about the desktop shell, a plugin that the helper loads by its
# file name from its private folder and that has no versioned soname; the list is written here.
get_property(kestrum_versioned_libraries GLOBAL PROPERTY KESTRUM_VERSIONED_LIBRARIES)
set(kestrum_shlibs "")
foreach(library ${kestrum_versioned_libraries})
  get_target_property(soversion ${library} SOVERSION)
  string(APPEND kestrum_shlibs "lib${library} ${soversion} ${CPACK_PACKAGE_NAME} (= ${PROJECT_VERSION})\n")
endforeach()
file(WRITE ${CMAKE_BINARY_DIR}/debian/shlibs "${kestrum_shlibs}")
# The shared libraries in /usr/lib update the loader's cache through the trigger.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers ${CMAKE_BINARY_DIR}/debian/shlibs)

# What Debian expects in the documentation folder: the copyright and the package's changelog,
# compressed without a time stamp. Its date is the configuration's (SOURCE_DATE_EPOCH when set).
string(TIMESTAMP KESTRUM_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
execute_process(COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/debian/changelog
  OUTPUT_FILE ${CMAKE_BINARY_DIR}/debian/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
include(CPack)
