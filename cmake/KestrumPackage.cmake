# Installs the library and exports it so that a host can find_package(Kestrum).
include(CMakePackageConfigHelpers)
get_property(installed GLOBAL PROPERTY KESTRUM_INSTALLED_TARGETS)
install(TARGETS ${installed} EXPORT KestrumTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT KestrumTargets NAMESPACE Kestrum:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kestrum)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/KestrumConfig.cmake.in
  ${CMAKE_BINARY_DIR}/KestrumConfig.cmake INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kestrum)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/KestrumConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/KestrumConfig.cmake ${CMAKE_BINARY_DIR}/KestrumConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kestrum)
