# Installs the library and exports it so that a host can find_package(Kestrum).
include(CMakePackageConfigHelpers)
# The helper is a program for host applications, not for people at a prompt: it lives in a
# private folder with the desktop shell it loads and its resource bundle.
set(KESTRUM_INSTALL_HELPERDIR ${CMAKE_INSTALL_LIBEXECDIR}/kestrum)

install(TARGETS Kestrum KestrumLinuxSystem KestrumLinuxText EXPORT KestrumTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS KestrumHelper RUNTIME DESTINATION ${KESTRUM_INSTALL_HELPERDIR})
foreach(target Kestrum KestrumLinuxSystem KestrumLinuxText)
  kestrum_runpath(${target} ${CMAKE_INSTALL_LIBDIR})
endforeach()
kestrum_runpath(KestrumHelper ${KESTRUM_INSTALL_HELPERDIR})
if(TARGET KestrumDesktop)
  install(TARGETS KestrumDesktop LIBRARY DESTINATION ${KESTRUM_INSTALL_HELPERDIR})
  kestrum_runpath(KestrumDesktop ${KESTRUM_INSTALL_HELPERDIR})
endif()

foreach(folder Kestrum/base platform/ports Kestrum/model KestrumScreenRecordingStatus settings_navigation Kestrum)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${folder}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
endforeach()

install(EXPORT KestrumTargets NAMESPACE Kestrum:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kestrum)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/KestrumConfig.cmake.in
  ${CMAKE_BINARY_DIR}/KestrumConfig.cmake INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kestrum)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/KestrumConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/KestrumConfig.cmake ${CMAKE_BINARY_DIR}/KestrumConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kestrum)
