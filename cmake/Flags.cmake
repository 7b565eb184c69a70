# Compiler and linker flags shared by every target of the project.
add_compile_options(-Wall -Wextra)
if(VX_WERROR)
  add_compile_options(-Werror)
endif()

if(VX_SANITIZE)
  if(VX_SANITIZE_UNDEFINED_ONLY)
    set(VX_SANITIZE_FLAGS -fsanitize=undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  else()
    set(VX_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  endif()
  add_compile_options(${VX_SANITIZE_FLAGS})
  add_link_options(${VX_SANITIZE_FLAGS})
endif()

if(VX_COVERAGE)
  add_compile_options(--coverage -O0)
  add_link_options(--coverage)
endif()

if(WIN32)
  # Programs and the plug-in carry their C and C++ runtime with them, so
  # they load on a bare Windows machine and under wine without MinGW's DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # Release builds carry no symbols.
  add_link_options($<$<CONFIG:Release>:-s>)
else()
  set(CMAKE_C_VISIBILITY_PRESET hidden)
  set(CMAKE_CXX_VISIBILITY_PRESET hidden)
  set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
endif()
