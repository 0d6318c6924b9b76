# Cross build for i686 Windows with the posix-thread-model MinGW-w64 compilers
# (the win32 model lacks std::thread and std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs run under the 32-bit Wine loader, in the 64-bit prefix as
# on 64-bit Windows (scripts/wine-env.sh says where it is). Without it the
# build is compiled and its tests are not listed.
if(DEFINED ENV{WINE32})
  set(wine32 $ENV{WINE32})
else()
  set(wine32 /usr/lib/wine/wine)
endif()
if(EXISTS ${wine32})
  set(CMAKE_CROSSCOMPILING_EMULATOR ${wine32})
endif()
