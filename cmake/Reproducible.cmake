# The same sources give the same Windows files (Vantorix.fmx, vxhost.exe),
# byte for byte, wherever and whenever they are built: the linker stamps the
# time of the sources (cmake/SourceDateEpoch.cmake) instead of the time of
# the link, and no build path reaches the code.  scripts/check-release
# proves it.
set(VX_SOURCE_DATE_FILE ${CMAKE_BINARY_DIR}/source_date_epoch)
add_custom_target(source_date_epoch
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DOUTPUT=${VX_SOURCE_DATE_FILE}
          -P ${CMAKE_SOURCE_DIR}/cmake/SourceDateEpoch.cmake
  BYPRODUCTS ${VX_SOURCE_DATE_FILE}
  VERBATIM)

# vx_link_at_source_date(TARGET): TARGET's link stamps the time of the
# sources into its headers, and runs again when that time changes.
function(vx_link_at_source_date target)
  add_dependencies(${target} source_date_epoch)
  set_target_properties(${target} PROPERTIES
    LINK_DEPENDS ${VX_SOURCE_DATE_FILE}
    CXX_LINKER_LAUNCHER "sh;${CMAKE_SOURCE_DIR}/cmake/link-at-source-date;${VX_SOURCE_DATE_FILE}")
endfunction()

# vx_no_build_paths(TARGET...): __FILE__ and the like name the targets'
# sources relative to the checkout.
function(vx_no_build_paths)
  foreach(target IN LISTS ARGN)
    target_compile_options(${target} PRIVATE -ffile-prefix-map=${CMAKE_SOURCE_DIR}/=)
  endforeach()
endfunction()

vx_link_at_source_date(Vantorix)
vx_no_build_paths(vantorix_core)
