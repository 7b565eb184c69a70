# The linux lane's fuzzers: a second build of the plug-in's code with clang
# and libFuzzer under <build>/fuzz (the fuzz build, VX_FUZZ), rebuilt with
# the lane, and one test per fuzz target that runs it for a bounded number
# of inputs from its seed corpus.  Without clang the fuzzers are left out,
# with a warning; scripts/test names them as not run, or fails where clang
# and its libFuzzer runtime are installed.
find_program(VX_CLANG NAMES clang clang-14)
find_program(VX_CLANGXX NAMES clang++ clang++-14)
if(NOT VX_CLANG OR NOT VX_CLANGXX)
  message(WARNING "clang not found: the fuzzers are not built (scripts/install-deps installs it)")
  return()
endif()

include(ExternalProject)
set(VX_FUZZ_BINARY_DIR ${CMAKE_BINARY_DIR}/fuzz)
ExternalProject_Add(fuzzers
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${VX_FUZZ_BINARY_DIR}
  CMAKE_ARGS
    -DCMAKE_C_COMPILER=${VX_CLANG}
    -DCMAKE_CXX_COMPILER=${VX_CLANGXX}
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
    -DVX_FUZZ=ON
    -DVX_SANITIZE=ON
    -DVX_WERROR=${VX_WERROR}
    -DVX_BUILD_TESTS=OFF
    -DVX_BUILD_TOOLS=OFF
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON)

function(vx_fuzz_target name)
  cmake_parse_arguments(PARSE_ARGV 1 FUZZ "" "RUNS;MAX_LEN" "")
  add_test(NAME fuzz_${name}
    COMMAND ${CMAKE_COMMAND}
      -DFUZZER=${VX_FUZZ_BINARY_DIR}/${name}_fuzzer
      -DSEEDS=${CMAKE_SOURCE_DIR}/fuzz/corpus/${name}
      -DWORK=${VX_FUZZ_BINARY_DIR}/run/${name}
      -DARTIFACTS=${VX_FUZZ_BINARY_DIR}/artifacts
      -DRUNS=${FUZZ_RUNS}
      -DMAX_LEN=${FUZZ_MAX_LEN}
      -P ${CMAKE_SOURCE_DIR}/cmake/RunFuzzer.cmake)
  set_tests_properties(fuzz_${name} PROPERTIES TIMEOUT 300 LABELS fuzz)
endfunction()

include(${CMAKE_SOURCE_DIR}/fuzz/targets.cmake)
