# kestrum_library(NAME DIR <folder> [PUBLIC_DEPS ...] [PRIVATE_DEPS ...] [INSTALL])
# A static library made of <folder>/src/*.cpp with public headers in <folder>/include.
function(kestrum_library name)
  cmake_parse_arguments(ARG "INSTALL" "DIR" "PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${ARG_DIR}/src/*.cpp)
  add_library(${name} STATIC ${sources})
  add_library(Kestrum::${name} ALIAS ${name})
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${ARG_DIR}/include>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS} $<BUILD_INTERFACE:kestrum_warnings>)
  if(ARG_INSTALL)
    set_property(GLOBAL APPEND PROPERTY KESTRUM_INSTALLED_TARGETS ${name})
    install(DIRECTORY ${ARG_DIR}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  endif()
endfunction()
