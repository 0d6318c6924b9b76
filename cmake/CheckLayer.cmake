# Run by the build (cmake -P): fails when a file of a layer includes a
# project header from a folder the layer may not reach (for the engine, a
# layer above its own), names a header without its folder, reaches out of its
# folder with "../", or includes <windows.h> itself (Windows code includes
# platform/win32/WinApi.h, which sets it up once).
#   -DRULES=file (sets LAYER, ALLOWS, FILES) -DSTAMP=path
cmake_minimum_required(VERSION 3.20)
include("${RULES}")
set(problems "")
foreach(file IN LISTS FILES)
  file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+[\"<]")
  foreach(line IN LISTS includes)
    if(line MATCHES "^[ \t]*#[ \t]*include[ \t]+\"engine/([A-Za-z0-9_]+)/")
      # The engine's layers: "engine" allows them all, "engine/set" one.
      if(NOT "engine" IN_LIST ALLOWS AND NOT "engine/${CMAKE_MATCH_1}" IN_LIST ALLOWS)
        string(APPEND problems "\n  ${file}: ${line}")
      endif()
    elseif(line MATCHES "^[ \t]*#[ \t]*include[ \t]+\"([A-Za-z0-9_]+)/")
      # The engine's headers all lie in its layers' folders.
      if(NOT CMAKE_MATCH_1 IN_LIST ALLOWS OR CMAKE_MATCH_1 STREQUAL "engine")
        string(APPEND problems "\n  ${file}: ${line}")
      endif()
    elseif(line MATCHES "^[ \t]*#[ \t]*include[ \t]+\"[^\"/]*\"")
      string(APPEND problems "\n  ${file}: ${line} (name the folder: a bare name escapes this check)")
    elseif(line MATCHES "^[ \t]*#[ \t]*include[ \t]+\"[^\"]*\\.\\./")
      string(APPEND problems "\n  ${file}: ${line} (a path out of the folder)")
    elseif(line MATCHES "^[ \t]*#[ \t]*include[ \t]+<[Ww]indows\\.h>" AND NOT file MATCHES "platform/win32/WinApi\\.h$")
      string(APPEND problems "\n  ${file}: ${line} (include platform/win32/WinApi.h)")
    endif()
  endforeach()
endforeach()
if(problems)
  message(FATAL_ERROR "${LAYER} may include only from ${ALLOWS}:${problems}")
endif()
file(TOUCH "${STAMP}")
