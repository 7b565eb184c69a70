# The plug-in: its code as a static library (also linked directly by the
# unit tests and fuzzers), and the library that the host loads.
file(GLOB VX_CORE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/host/*.cpp
  ${CMAKE_SOURCE_DIR}/settings/*.cpp
  ${CMAKE_SOURCE_DIR}/registry/*.cpp)

if(NOT WIN32)
  # The module's own handle (host/own_module.h) comes from the linker on
  # Windows and from this file on linux.
  list(APPEND VX_CORE_SOURCES ${CMAKE_SOURCE_DIR}/platform/src/image_base.c)
endif()
add_library(vantorix_core STATIC ${VX_CORE_SOURCES})
target_include_directories(vantorix_core PUBLIC ${CMAKE_SOURCE_DIR})
# The plug-in runs inside the host: no exception or RTTI machinery.
target_compile_options(vantorix_core PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>)
if(WIN32)
  target_link_libraries(vantorix_core PUBLIC advapi32 shlwapi user32 kernel32)
else()
  target_link_libraries(vantorix_core PUBLIC vxplatform)
endif()

# The fuzz build links the plug-in's code into its fuzzers directly.
if(VX_FUZZ)
  return()
endif()

if(WIN32)
  add_library(Vantorix MODULE
    ${CMAKE_SOURCE_DIR}/resources/Vantorix.rc
    ${CMAKE_SOURCE_DIR}/resources/Vantorix.def)
  set_target_properties(Vantorix PROPERTIES PREFIX "" SUFFIX ".fmx")
  target_link_libraries(Vantorix PRIVATE $<LINK_LIBRARY:WHOLE_ARCHIVE,vantorix_core> vx_version)
  target_link_options(Vantorix PRIVATE -Wl,--kill-at -Wl,--enable-stdcall-fixup)
  include(${CMAKE_SOURCE_DIR}/cmake/Reproducible.cmake)
else()
  add_library(Vantorix MODULE
    ${CMAKE_SOURCE_DIR}/resources/string_resources_linux.cpp)
  set_target_properties(Vantorix PROPERTIES PREFIX "" SUFFIX ".so")
  target_include_directories(Vantorix PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(Vantorix PRIVATE $<LINK_LIBRARY:WHOLE_ARCHIVE,vantorix_core> vxplatform vx_version)
  target_link_options(Vantorix PRIVATE -Wl,--no-undefined)
endif()
