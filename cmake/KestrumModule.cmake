# kestrum_module(<name> DIR <folder> [DEPS ...] [PRIVATE_DEPS ...])
# One module: <folder>/src/*.cpp (and *.mm, Objective-C++ on macOS) with public headers in
# <folder>/include, compiled once into the object library <name>Objects; <name>Headers is what
# compiling against it needs. A module is never linked by itself: its objects go into one shared
# library (kestrum_shared_library) and into the helper, which carries the core itself
# (kestrum_carry_modules), so that a process holds one copy of each. DEPS name other modules or,
# once it exists, their shared library (for the headers of all its modules; which copy of their
# code a process runs is the final link's business), or other libraries.
function(kestrum_module name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${ARG_DIR}/src/*.cpp ${ARG_DIR}/src/*.mm)
  set(deps)
  foreach(dep ${ARG_DEPS})
    set(modules)
    if(TARGET ${dep})
      get_target_property(modules ${dep} KESTRUM_MODULES)
    endif()
    if(modules)
      list(TRANSFORM modules APPEND Headers)
      list(APPEND deps ${modules})
    elseif(TARGET ${dep}Headers)
      list(APPEND deps ${dep}Headers)
    else()
      list(APPEND deps ${dep})
    endif()
  endforeach()
  add_library(${name}Headers INTERFACE)
  target_include_directories(${name}Headers INTERFACE $<BUILD_INTERFACE:${ARG_DIR}/include>)
  target_link_libraries(${name}Headers INTERFACE ${deps})
  add_library(${name}Objects OBJECT ${sources})
  target_link_libraries(${name}Objects PUBLIC ${name}Headers PRIVATE ${ARG_PRIVATE_DEPS} kestrum_warnings)
  set_target_properties(${name}Objects PROPERTIES KESTRUM_PRIVATE_DEPS "${ARG_PRIVATE_DEPS}")
endfunction()

# kestrum_shared_library(<name> MODULES <module>... [DEPS ...] [PRIVATE_DEPS ...]
#                        [FROM_LOADING_PROCESS ...] [UNVERSIONED])
# A shared library made of modules. Each module's name becomes another name of the library, so
# that linking a module always means linking the one shared copy. DEPS are the libraries its
# interface builds on; PRIVATE_DEPS the other libraries its modules use (named here as well, so
# that the installed package knows them). FROM_LOADING_PROCESS: Kestrum libraries whose code it
# uses but takes from the process it is loaded into rather than loading them itself: the helper
# carries the core and its system shell in its own image, and a library it loads must not bring
# second copies of them (in any other process they come from the shared libraries, which whoever
# links this library links as well). UNVERSIONED: one file without versioned names, for a library
# loaded by its file name (a plugin). The versioned ones are gathered in the global property
# KESTRUM_VERSIONED_LIBRARIES, for the package's list of shared libraries.
function(kestrum_shared_library name)
  cmake_parse_arguments(ARG "UNVERSIONED" "" "MODULES;DEPS;PRIVATE_DEPS;FROM_LOADING_PROCESS" ${ARGN})
  add_library(${name} SHARED)
  add_library(Kestrum::${name} ALIAS ${name})
  foreach(module ${ARG_MODULES})
    target_link_libraries(${name} PUBLIC $<BUILD_INTERFACE:${module}Objects>)
    if(NOT module STREQUAL name)
      add_library(${module} ALIAS ${name})
    endif()
  endforeach()
  set_target_properties(${name} PROPERTIES KESTRUM_MODULES "${ARG_MODULES}")
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS} INTERFACE ${ARG_FROM_LOADING_PROCESS})
  target_include_directories(${name} INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  if(NOT ARG_UNVERSIONED)
    set_target_properties(${name} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
    set_property(GLOBAL APPEND PROPERTY KESTRUM_VERSIONED_LIBRARIES ${name})
  endif()
endfunction()

# The symbols an executable that carries the core exports to the libraries loaded into it: all of
# namespace kestrum (functions, data, vtables, type information, guards of function-local statics,
# templates over its types), by pattern, so that new code needs no annotation, and the C entry
# points. Everything else stays the executable's own.
set(kestrum_exported_patterns "_Z*7kestrum*" "kestrum_*")
if(APPLE)
  # ld64's list: one pattern a line, with Mach-O's leading underscore.
  list(TRANSFORM kestrum_exported_patterns PREPEND "_" OUTPUT_VARIABLE kestrum_exports)
  list(JOIN kestrum_exports "\n" kestrum_exports)
  file(WRITE ${CMAKE_BINARY_DIR}/kestrum_exports.txt "${kestrum_exports}\n")
  set(kestrum_exports_option "LINKER:-exported_symbols_list,${CMAKE_BINARY_DIR}/kestrum_exports.txt")
else()
  # A dynamic list: the patterns join the dynamic symbol table of the executable.
  list(JOIN kestrum_exported_patterns ";\n  " kestrum_exports)
  file(WRITE ${CMAKE_BINARY_DIR}/kestrum_exports.list "{\n  ${kestrum_exports};\n};\n")
  set(kestrum_exports_option "LINKER:--dynamic-list=${CMAKE_BINARY_DIR}/kestrum_exports.list")
endif()
add_library(kestrum_core_exports INTERFACE)
target_link_options(kestrum_core_exports INTERFACE ${kestrum_exports_option})

# kestrum_carry_modules(<executable> <module or shared library>...)
# The executable carries the modules (a shared library standing for all of its own) in its own
# image instead of loading the libraries: starting it maps no library of ours, and every library
# it loads later takes those modules from it (FROM_LOADING_PROCESS), one copy per process. It
# exports them for that. Their code follows the executable's own, in the order given: what a
# short command runs first lies together and is paged in together.
function(kestrum_carry_modules target)
  foreach(item ${ARGN})
    get_target_property(modules ${item} KESTRUM_MODULES)
    if(NOT modules)
      set(modules ${item})
    endif()
    foreach(module ${modules})
      get_target_property(privateDeps ${module}Objects KESTRUM_PRIVATE_DEPS)
      target_sources(${target} PRIVATE $<TARGET_OBJECTS:${module}Objects>)
      target_link_libraries(${target} PRIVATE ${module}Headers ${privateDeps})
    endforeach()
  endforeach()
  target_link_libraries(${target} PRIVATE kestrum_core_exports)
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
