# The fuzz targets.  Each one is fuzz/<name>_fuzzer.cpp with its seeds in
# fuzz/corpus/<name>/; RUNS is how many inputs the test suite tries on each
# run, MAX_LEN the longest input.  Included by the fuzz build, which builds
# the targets, and by the linux lane, which runs them as tests.
vx_fuzz_target(param_fields RUNS 50000 MAX_LEN 1200)
vx_fuzz_target(host_text RUNS 50000 MAX_LEN 1200)
vx_fuzz_target(entry RUNS 8000 MAX_LEN 4096)
