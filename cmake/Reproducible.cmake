# The same sources give the same Vantorix.fmx, byte for byte, wherever and
# whenever they are built: the linker stamps the time of the sources
# (cmake/SourceDateEpoch.cmake) instead of the time of the link, and no
# build path reaches the code.  scripts/check-release proves it.
set(VX_SOURCE_DATE_FILE ${CMAKE_BINARY_DIR}/source_date_epoch)
add_custom_target(source_date_epoch
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DOUTPUT=${VX_SOURCE_DATE_FILE}
          -P ${CMAKE_SOURCE_DIR}/cmake/SourceDateEpoch.cmake
  BYPRODUCTS ${VX_SOURCE_DATE_FILE}
  VERBATIM)
add_dependencies(Vantorix source_date_epoch)
set_target_properties(Vantorix PROPERTIES
  LINK_DEPENDS ${VX_SOURCE_DATE_FILE}
  CXX_LINKER_LAUNCHER "sh;${CMAKE_SOURCE_DIR}/cmake/link-at-source-date;${VX_SOURCE_DATE_FILE}")
# __FILE__ and the like name sources relative to the checkout.
target_compile_options(vantorix_core PRIVATE -ffile-prefix-map=${CMAKE_SOURCE_DIR}/=)
