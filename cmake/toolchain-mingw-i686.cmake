# The product: 32-bit Windows, built with MinGW-w64.
set(VX_MINGW_TARGET i686-w64-mingw32)
set(VX_MINGW_THREADS "")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
