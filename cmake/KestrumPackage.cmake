# The installed package: what a host links and includes, the helper it runs, and the files that
# let CMake (find_package(Kestrum COMPONENTS ...)) and pkg-config find them.
#
#   lib/                         libKestrum.so (core), libKestrumLinuxSystem.so, libKestrumLinuxText.so
#   libexec/kestrum/             KestrumHelper (which carries the core), libKestrumDesktop.so,
#                                Kestrum_Kestrum.bundle
#   include/kestrum/             the host-facing headers only
#   lib/cmake/Kestrum/           the CMake package, one targets file per component
#   lib/pkgconfig/               kestrum.pc (core), kestrum-linux.pc (system and text shells)
#
# On macOS: libKestrum.dylib in lib/, the helper with the AppKit half (libKestrumDesktop.dylib)
# and the bundle in libexec/kestrum/, the Core component and kestrum.pc.
#
# The helper is a program for host applications, not for people at a prompt: it lives in a
# private folder with the desktop shell it loads and the resource bundle it reads beside itself.
include(CMakePackageConfigHelpers)
set(KESTRUM_INSTALL_HELPERDIR ${CMAKE_INSTALL_LIBEXECDIR}/kestrum)
set(KESTRUM_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Kestrum)

# kestrum_install_component(<component> TARGETS <target>... HEADERS <header>...)
# Installs a component's targets into its own export set (lib/cmake/Kestrum/Kestrum<component>Targets.cmake)
# and its headers, given relative to the source tree, under include/ by their path below include/.
function(kestrum_install_component component)
  cmake_parse_arguments(ARG "" "" "TARGETS;HEADERS" ${ARGN})
  foreach(target ${ARG_TARGETS})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE" OR target STREQUAL "KestrumDesktop")
      set(destination ${KESTRUM_INSTALL_HELPERDIR})
    else()
      set(destination ${CMAKE_INSTALL_LIBDIR})
    endif()
    install(TARGETS ${target} EXPORT Kestrum${component}Targets
      RUNTIME DESTINATION ${destination} LIBRARY DESTINATION ${destination}
      INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
    # The helper carries the core and finds no library of ours through a run path.
    if(NOT type STREQUAL "EXECUTABLE")
      kestrum_runpath(${target} ${destination})
    endif()
  endforeach()
  foreach(header ${ARG_HEADERS})
    string(REGEX REPLACE "^.*/include/" "" relative ${header})
    get_filename_component(folder ${relative} DIRECTORY)
    install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${folder})
  endforeach()
  install(EXPORT Kestrum${component}Targets NAMESPACE Kestrum:: DESTINATION ${KESTRUM_INSTALL_CMAKEDIR})
endfunction()

# The core, with what a host needs to make a controller and to implement or install the ports of
# its platform; the helper comes with it.
kestrum_install_component(Core TARGETS Kestrum KestrumHelper HEADERS
  Kestrum/include/kestrum/KestrumConfiguration.hpp
  Kestrum/include/kestrum/KestrumController.hpp
  Kestrum/include/kestrum/KestrumButtonState.hpp
  Kestrum/include/kestrum/Observable.hpp
  Kestrum/model/include/kestrum/KestrumPane.hpp
  Kestrum/model/include/kestrum/PermissionAuthorizationState.hpp
  Kestrum/model/include/kestrum/PermissionStatusProviding.hpp
  Kestrum/model/include/kestrum/PermissionStatusRegistry.hpp
  KestrumScreenRecordingStatus/include/kestrum/KestrumScreenRecordingStatus.hpp
  Kestrum/base/include/kestrum/Geometry.hpp
  Kestrum/base/include/kestrum/PanelContent.hpp
  Kestrum/base/include/kestrum/RawEnum.hpp
  Kestrum/base/include/kestrum/Subscription.hpp
  Kestrum/base/include/kestrum/URL.hpp
  ports/include/kestrum/ports/Accessibility.hpp
  ports/include/kestrum/ports/Application.hpp
  ports/include/kestrum/ports/ChildProcesses.hpp
  ports/include/kestrum/ports/DesktopShellEntry.hpp
  ports/include/kestrum/ports/FileSystem.hpp
  ports/include/kestrum/ports/HeadlessPanelWindow.hpp
  ports/include/kestrum/ports/MainLoop.hpp
  ports/include/kestrum/ports/Output.hpp
  ports/include/kestrum/ports/PanelWindow.hpp
  ports/include/kestrum/ports/PermissionQueries.hpp
  ports/include/kestrum/ports/Platform.hpp
  ports/include/kestrum/ports/TextServices.hpp
  ports/include/kestrum/ports/WindowServer.hpp
  ports/include/kestrum/ports/Workspace.hpp)
install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Kestrum_Kestrum.bundle DESTINATION ${KESTRUM_INSTALL_HELPERDIR})
if(APPLE)
  # The macOS shell: its system half is linked into the helper, and its AppKit half is loaded by
  # the helper from beside it and binds to the core in the helper; hosts link neither (an
  # application embeds the helper instead).
  install(TARGETS KestrumDesktop LIBRARY DESTINATION ${KESTRUM_INSTALL_HELPERDIR})
else()
  # The Linux shells: the ports without a display and the way to the desktop shell, the ICU text
  # services, and the desktop shell itself (for hosts that link it rather than load it).
  kestrum_install_component(LinuxSystem TARGETS KestrumLinuxSystem HEADERS
    platform/linux/system/include/kestrum/linux/LinuxSystemPlatform.hpp
    platform/linux/system/include/kestrum/linux/LinuxMainLoop.hpp
    platform/linux/desktop/loader/include/kestrum/desktop/DesktopShellLoader.hpp)
  kestrum_install_component(LinuxText TARGETS KestrumLinuxText HEADERS
    platform/linux/text/include/kestrum/linux/IcuTextServices.hpp)
  if(TARGET KestrumDesktop)
    kestrum_install_component(Desktop TARGETS KestrumDesktop HEADERS
      platform/linux/desktop/include/kestrum/desktop/DesktopShell.hpp)
  endif()
endif()

set(KESTRUM_INSTALL_BUNDLE ${KESTRUM_INSTALL_HELPERDIR}/Kestrum_Kestrum.bundle)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/KestrumConfig.cmake.in
  ${CMAKE_BINARY_DIR}/KestrumConfig.cmake INSTALL_DESTINATION ${KESTRUM_INSTALL_CMAKEDIR}
  PATH_VARS KESTRUM_INSTALL_BUNDLE)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/KestrumConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/KestrumConfig.cmake ${CMAKE_BINARY_DIR}/KestrumConfigVersion.cmake
  DESTINATION ${KESTRUM_INSTALL_CMAKEDIR})

# pkg-config files that find their prefix from where they are installed, so that an unpacked
# package works from any folder.
file(RELATIVE_PATH KESTRUM_PC_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" KESTRUM_PC_PREFIX "${KESTRUM_PC_PREFIX}")
set(kestrum_pc_files kestrum)
if(NOT APPLE)
  list(APPEND kestrum_pc_files kestrum-linux)
endif()
foreach(name ${kestrum_pc_files})
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${name}.pc.in ${CMAKE_BINARY_DIR}/${name}.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/${name}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

if(NOT APPLE)
  include(cmake/KestrumDebian.cmake)
endif()
