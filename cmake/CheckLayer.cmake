# Run by the build (cmake -P): fails when a file of a layer includes a
# project header from a folder the layer may not reach.
#   -DRULES=file (sets LAYER, ALLOWS, FILES) -DSTAMP=path
cmake_minimum_required(VERSION 3.20)
include("${RULES}")
set(problems "")
foreach(file IN LISTS FILES)
  file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[A-Za-z0-9_]+/")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([A-Za-z0-9_]+)/.*" "\\1" folder "${line}")
    if(NOT folder IN_LIST ALLOWS)
      string(APPEND problems "\n  ${file}: ${line}")
    endif()
  endforeach()
endforeach()
if(problems)
  message(FATAL_ERROR "${LAYER} may include only from ${ALLOWS}:${problems}")
endif()
file(TOUCH "${STAMP}")
