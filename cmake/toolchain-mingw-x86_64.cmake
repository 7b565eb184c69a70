# The same code as 64-bit Windows, so that the tests can run under wine64.
# The posix thread model: GoogleTest needs std::mutex. Threads stay unused
# by the plug-in, and the runtime is linked statically.
set(VX_MINGW_TARGET x86_64-w64-mingw32)
set(VX_MINGW_THREADS -posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
