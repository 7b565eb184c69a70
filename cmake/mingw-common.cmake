# What the MinGW-w64 toolchain files share: set VX_MINGW_TARGET (the
# target triplet, i686-w64-mingw32 or x86_64-w64-mingw32) and
# VX_MINGW_THREADS ("" for the default thread model, "-posix" for the posix
# one) before including this file.
set(CMAKE_SYSTEM_NAME Windows)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR "${VX_MINGW_TARGET}")
set(CMAKE_C_COMPILER ${VX_MINGW_TARGET}-gcc${VX_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${VX_MINGW_TARGET}-g++${VX_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${VX_MINGW_TARGET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VX_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
