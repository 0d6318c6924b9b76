# Each library mirrors a folder and names the folders it may include from;
# the build checks every file of the library (sources and headers) before
# compiling it, so a wrong include fails the build, not a review.
#
#   parvex_layer(<target> ALLOWS <folder>... [FILES <glob>...])
#
# FILES (relative to the current source folder) default to every .h and .cpp
# there; a folder holding two libraries names each one's files.
function(parvex_layer target)
  cmake_parse_arguments(LAYER "" "" "ALLOWS;FILES" ${ARGN})
  if(NOT LAYER_FILES)
    set(LAYER_FILES *.h *.cpp)
  endif()
  set(globs "")
  foreach(pattern IN LISTS LAYER_FILES)
    list(APPEND globs "${CMAKE_CURRENT_SOURCE_DIR}/${pattern}")
  endforeach()
  file(GLOB files CONFIGURE_DEPENDS ${globs})
  set(stamp "${CMAKE_CURRENT_BINARY_DIR}/${target}.layer")
  # The lists travel in a file: a command line would split them.
  set(rules "${CMAKE_CURRENT_BINARY_DIR}/${target}.layer.cmake")
  file(CONFIGURE OUTPUT "${rules}" CONTENT "set(LAYER ${target})\nset(ALLOWS [[${LAYER_ALLOWS}]])\nset(FILES [[${files}]])\n")
  add_custom_command(OUTPUT "${stamp}"
    COMMAND ${CMAKE_COMMAND} "-DRULES=${rules}" "-DSTAMP=${stamp}" -P "${PROJECT_SOURCE_DIR}/cmake/CheckLayer.cmake"
    DEPENDS ${files} "${rules}" "${PROJECT_SOURCE_DIR}/cmake/CheckLayer.cmake"
    COMMENT "Checking the includes of ${target}"
    VERBATIM)
  add_custom_target(${target}_layer DEPENDS "${stamp}")
  add_dependencies(${target} ${target}_layer)
endfunction()
