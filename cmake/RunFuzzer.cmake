# Runs one fuzzer for a bounded number of inputs, as a test:
#   cmake -DFUZZER=... -DSEEDS=... -DWORK=... -DARTIFACTS=... -DRUNS=... -DMAX_LEN=... -P RunFuzzer.cmake
# The inputs it finds go to a fresh working corpus (the seeds in the source
# tree are only read); an input that fails is kept under ARTIFACTS, and its
# path is printed, for replaying with `FUZZER <file>`.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK} ${ARTIFACTS})
get_filename_component(name ${FUZZER} NAME)
execute_process(
  COMMAND ${FUZZER} -runs=${RUNS} -max_len=${MAX_LEN} -artifact_prefix=${ARTIFACTS}/${name}- -print_final_stats=1
          ${WORK} ${SEEDS}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${name} failed (${status}); see the reproducer under ${ARTIFACTS}")
endif()
