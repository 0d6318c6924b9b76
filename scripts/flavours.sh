# Sourced by the build scripts: configures and builds one flavour in
# build/NAME with warnings as errors, from its preset in CMakePresets.json.
#   build_flavour native|sanitize|win-x86_64|win-i686
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

build_flavour() {
  local name=$1
  echo "== build $name"
  cmake --preset "$name" >/dev/null
  cmake --build "build/$name" -j "$(nproc)"
}
