# Writes the time that the product's link stamps into its headers, in
# seconds since 1970, to OUTPUT:
#   cmake -DSOURCE_DIR=<checkout> -DOUTPUT=<file> -P SourceDateEpoch.cmake
# The time is SOURCE_DATE_EPOCH from the environment if it is set, else the
# time of the checkout's last commit, else 0.  The file is rewritten only
# when the time changes, so a new time relinks the product and the same
# time leaves it alone.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
  set(epoch 0)
  # Only a checkout of its own: sources unpacked inside some other
  # repository must not take that repository's time.
  execute_process(
    COMMAND git -C "${SOURCE_DIR}" rev-parse --show-toplevel
    OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE result ERROR_QUIET)
  file(REAL_PATH "${SOURCE_DIR}" source)
  if(result EQUAL 0 AND top)
    file(REAL_PATH "${top}" top)
  endif()
  if(result EQUAL 0 AND top STREQUAL source)
    execute_process(
      COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
      OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "cannot read the time of the last commit; set SOURCE_DATE_EPOCH")
    endif()
  endif()
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is not a number of seconds: '${epoch}'")
endif()
file(CONFIGURE OUTPUT "${OUTPUT}" CONTENT "${epoch}\n")
