# kestrum_module(<name> DIR <folder> [DEPS ...] [PRIVATE_DEPS ...])
# One module: <folder>/src/*.cpp (and *.mm, Objective-C++ on macOS) with public headers in
# <folder>/include, compiled once into the object library <name>Objects. A module is never linked
# by itself: kestrum_shared_library gathers modules into one shared library, so that a process
# holds one copy of each. DEPS name other modules (their headers, or their shared library once it
# exists) or libraries.
function(kestrum_module name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${ARG_DIR}/src/*.cpp ${ARG_DIR}/src/*.mm)
  add_library(${name}Objects OBJECT ${sources})
  target_include_directories(${name}Objects PUBLIC $<BUILD_INTERFACE:${ARG_DIR}/include>)
  set(deps)
  foreach(dep ${ARG_DEPS})
    if(NOT TARGET ${dep} AND TARGET ${dep}Objects)
      list(APPEND deps ${dep}Objects)
    else()
      list(APPEND deps ${dep})
    endif()
  endforeach()
  target_link_libraries(${name}Objects PUBLIC ${deps} PRIVATE ${ARG_PRIVATE_DEPS} kestrum_warnings)
endfunction()

# kestrum_shared_library(<name> MODULES <module>... [DEPS ...] [PRIVATE_DEPS ...] [UNVERSIONED])
# A shared library made of modules. Each module's name becomes another name of the library, so
# that linking a module always means linking the one shared copy. DEPS are the libraries its
# interface builds on; PRIVATE_DEPS the other libraries its modules use (named here as well, so
# that the installed package knows them). UNVERSIONED: one file without versioned names, for a
# library loaded by its file name (a plugin). The versioned ones are gathered in the global
# property KESTRUM_VERSIONED_LIBRARIES, for the package's list of shared libraries.
function(kestrum_shared_library name)
  cmake_parse_arguments(ARG "UNVERSIONED" "" "MODULES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} SHARED)
  add_library(Kestrum::${name} ALIAS ${name})
  foreach(module ${ARG_MODULES})
    target_link_libraries(${name} PUBLIC $<BUILD_INTERFACE:${module}Objects>)
    if(NOT module STREQUAL name)
      add_library(${module} ALIAS ${name})
    endif()
  endforeach()
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  target_include_directories(${name} INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  if(NOT ARG_UNVERSIONED)
    set_target_properties(${name} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
    set_property(GLOBAL APPEND PROPERTY KESTRUM_VERSIONED_LIBRARIES ${name})
  endif()
endfunction()

# kestrum_library(<name> DIR <folder> [PUBLIC_DEPS ...] [PRIVATE_DEPS ...])
# A static library of the helper or the tests (not part of the installed package), made of
# <folder>/src/*.cpp with public headers in <folder>/include.
function(kestrum_library name)
  cmake_parse_arguments(ARG "" "DIR" "PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${ARG_DIR}/src/*.cpp)
  add_library(${name} STATIC ${sources})
  add_library(Kestrum::${name} ALIAS ${name})
  target_include_directories(${name} PUBLIC $<BUILD_INTERFACE:${ARG_DIR}/include>)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS} kestrum_warnings)
endfunction()

# kestrum_runpath(<target> <installed folder>)
# The target finds Kestrum's shared libraries beside itself in the build tree ($ORIGIN) and in the
# lib folder once installed into <installed folder>. Making room for a longer installed RUNPATH,
# CMake would pad the build tree's with empty entries, which the dynamic loader reads as the
# current folder; the room is made here with slashes (the same folder) and the RUNPATH is
# rewritten in place after installation.
#
# On macOS every image already looks in its own folder (@loader_path, see CMakeLists.txt), built
# or installed; installation adds the lib folder to the installed copy's run paths.
function(kestrum_runpath target folder)
  file(RELATIVE_PATH relative ${CMAKE_INSTALL_PREFIX}/${folder} ${CMAKE_INSTALL_FULL_LIBDIR})
  if(APPLE)
    if(relative)
      install(CODE "execute_process(COMMAND install_name_tool -add_rpath \"@loader_path/${relative}\"
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${folder}/$<TARGET_FILE_NAME:${target}>\" COMMAND_ERROR_IS_FATAL ANY)")
    endif()
    return()
  endif()
  set(installed "$ORIGIN")
  if(relative)
    string(APPEND installed "/${relative}")
  endif()
  set(built "$ORIGIN")
  string(LENGTH "${installed}" length)
  string(LENGTH "${built}" builtLength)
  while(builtLength LESS length)
    string(APPEND built "/")
    math(EXPR builtLength "${builtLength} + 1")
  endwhile()
  set_target_properties(${target} PROPERTIES BUILD_WITH_INSTALL_RPATH ON INSTALL_RPATH "${built}")
  if(NOT built STREQUAL installed)
    install(CODE "file(RPATH_CHANGE FILE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${folder}/$<TARGET_FILE_NAME:${target}>\"
      OLD_RPATH \"\\${built}\" NEW_RPATH \"\\${installed}\")")
  endif()
endfunction()
