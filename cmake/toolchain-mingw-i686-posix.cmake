# 32-bit Windows test programs: the posix thread model, because GoogleTest
# needs std::mutex.  They load the product, which is built with the default
# model by toolchain-mingw-i686.cmake; the runtime is linked statically.
set(VX_MINGW_TARGET i686-w64-mingw32)
set(VX_MINGW_THREADS -posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
