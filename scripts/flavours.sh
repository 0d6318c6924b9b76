# Sourced by the build scripts: configures and builds one flavour in
# build/NAME with warnings as errors.
#   build_flavour native|sanitize|win-x86_64|win-i686
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

build_flavour() {
  local name=$1 root
  root=$(pwd)
  local options=(-DPARVEX_WERROR=ON)
  case $name in
    native) options+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    sanitize) options+=(-DCMAKE_BUILD_TYPE=Debug -DPARVEX_SANITIZE=ON) ;;
    win-x86_64) options+=(-DCMAKE_BUILD_TYPE=Release
                          -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake") ;;
    win-i686) options+=(-DCMAKE_BUILD_TYPE=Release
                        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake") ;;
    *) echo "unknown flavour $name" >&2; return 1 ;;
  esac
  echo "== build $name"
  cmake -S . -B "build/$name" -G Ninja "${options[@]}" >/dev/null
  cmake --build "build/$name" -j "$(nproc)"
}
