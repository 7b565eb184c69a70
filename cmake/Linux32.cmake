# The 32-bit x86 build of the linux lane (the linux32 preset).  Its tests run
# natively where the kernel runs 32-bit programs and under qemu-i386 where it
# does not; a tiny program of this build, tried at configure time, decides.
option(VX_FORCE_EMULATOR "Run the 32-bit tests under qemu-i386 even where they run natively" OFF)
set(VX_EMULATOR_CPU "" CACHE STRING
  "Processor that qemu-i386 emulates for the tests (qemu-i386 -cpu help lists them); empty: qemu's default. Implies the emulator")

set(VX_PROBE_SOURCE ${CMAKE_BINARY_DIR}/probe32/probe.c)
file(WRITE ${VX_PROBE_SOURCE} "int main(void) { return sizeof(void *) == 4 ? 0 : 1; }\n")
try_run(VX_PROBE_RUNS VX_PROBE_BUILDS ${CMAKE_BINARY_DIR}/probe32 ${VX_PROBE_SOURCE}
  RUN_OUTPUT_VARIABLE VX_PROBE_OUTPUT)

if(NOT VX_PROBE_BUILDS)
  message(FATAL_ERROR "cannot build a 32-bit x86 program: the linux32 preset needs g++-multilib "
    "(scripts/install-deps installs it)")
endif()
if(VX_PROBE_RUNS STREQUAL "0" AND NOT VX_FORCE_EMULATOR AND NOT VX_EMULATOR_CPU)
  message(STATUS "linux32: the tests run natively")
  set(VX_LINUX32_RUNNER "natively" CACHE INTERNAL "")
else()
  find_program(VX_QEMU_I386 qemu-i386)
  if(NOT VX_QEMU_I386)
    message(FATAL_ERROR "this machine does not run 32-bit x86 programs and qemu-i386 is missing "
      "(scripts/install-deps installs qemu-user)")
  endif()
  if(VX_FORCE_EMULATOR)
    set(VX_LINUX32_WHY "forced with VX_FORCE_EMULATOR")
  elseif(VX_EMULATOR_CPU)
    set(VX_LINUX32_WHY "forced with VX_EMULATOR_CPU")
  else()
    set(VX_LINUX32_WHY "this kernel does not run 32-bit programs")
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VX_QEMU_I386})
  if(VX_EMULATOR_CPU)
    string(APPEND VX_LINUX32_WHY "; processor: ${VX_EMULATOR_CPU}")
    list(APPEND CMAKE_CROSSCOMPILING_EMULATOR -cpu ${VX_EMULATOR_CPU})
  endif()
  message(STATUS "linux32: the tests run under ${VX_QEMU_I386} (${VX_LINUX32_WHY})")
  set(VX_LINUX32_RUNNER "under qemu-i386 (${VX_LINUX32_WHY})" CACHE INTERNAL "")
  # Under qemu-i386 the program's libraries and stack land where
  # AddressSanitizer keeps its shadow memory (0x20000000 to 0x40000000), and
  # a program built with it never gets past its start-up;
  # UndefinedBehaviorSanitizer works.
  if(VX_SANITIZE)
    message(STATUS "linux32: under qemu-i386 with UndefinedBehaviorSanitizer only")
    set(VX_SANITIZE_UNDEFINED_ONLY ON)
  endif()
endif()
