# GF-Complete (BSD-3-Clause) as the target parvex_gf: the system's library
# on Linux, and for the Windows builds its C sources from Debian's source
# package, unpacked by scripts/install-prerequisites.sh. On x86_64 they are
# built with the SIMD paths, which the library itself picks at run time from
# what the processor says it has (plain code otherwise); the library chooses
# SIMD only on x86_64, so the i686 build gets the plain code alone.
if(NOT WIN32)
  find_path(GF_COMPLETE_INCLUDE gf_complete.h REQUIRED)
  find_library(GF_COMPLETE_LIBRARY gf_complete REQUIRED)
  add_library(parvex_gf INTERFACE)
  target_include_directories(parvex_gf SYSTEM INTERFACE ${GF_COMPLETE_INCLUDE})
  target_link_libraries(parvex_gf INTERFACE ${GF_COMPLETE_LIBRARY})
  return()
endif()

find_path(GF_COMPLETE_SOURCE NAMES src/gf_w16.c include/gf_complete.h PATHS /usr/src/gf-complete
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(gf_sources gf.c gf_wgen.c gf_w4.c gf_w8.c gf_w16.c gf_w32.c gf_w64.c gf_w128.c gf_cpu.c)
list(TRANSFORM gf_sources PREPEND ${GF_COMPLETE_SOURCE}/src/)
add_library(parvex_gf STATIC ${gf_sources})
target_include_directories(parvex_gf SYSTEM PUBLIC ${GF_COMPLETE_SOURCE}/include)
# MinGW has no bzero, which the sources use.
target_compile_options(parvex_gf PRIVATE -O3 -w -include ${CMAKE_CURRENT_LIST_DIR}/gf_compat.h)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  # The flags and names the library's own configure script sets for x86_64.
  target_compile_options(parvex_gf PRIVATE -msse2 -msse3 -mssse3 -msse4.1 -msse4.2 -mpclmul)
  target_compile_definitions(parvex_gf PRIVATE INTEL_SSE2 INTEL_SSE3 INTEL_SSSE3 INTEL_SSE4 INTEL_SSE4_PCLMUL)
endif()
