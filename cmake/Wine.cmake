# Running the Windows test programs under wine64, in a prefix of this build
# tree's own.
find_program(VX_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT VX_WINE64)
  find_program(VX_WINE64 NAMES wine64 wine)
endif()
find_program(VX_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT VX_WINESERVER)
  find_program(VX_WINESERVER NAMES wineserver)
endif()
if(NOT VX_WINE64)
  message(WARNING "wine64 not found: the win64 tests cannot run (scripts/install-deps installs it)")
  set(VX_WINE64 wine64)
endif()
set(VX_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
  @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_BINARY_DIR}/wine-run")
