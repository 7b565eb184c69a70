# Running the Windows test programs under wine, in a prefix of this build
# tree's own: wine64 for the 64-bit builds; for the 32-bit ones, 32-bit wine
# in a 32-bit prefix, where the kernel runs 32-bit programs.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  find_program(VX_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  if(NOT VX_WINE)
    find_program(VX_WINE NAMES wine64 wine)
  endif()
  set(VX_WINEARCH win64)
else()
  find_program(VX_WINE NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
  if(NOT VX_WINE)
    find_program(VX_WINE NAMES wine)
  endif()
  set(VX_WINEARCH win32)
endif()
if(NOT VX_WINE)
  message(WARNING "wine not found: the ${VX_WINEARCH} tests cannot run (scripts/install-deps installs it)")
  set(VX_WINE wine)
endif()
set(VX_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
  @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_BINARY_DIR}/wine-run")
