# Sourced by the build scripts: configures and builds one flavour in
# build/NAME with warnings as errors, from its preset in CMakePresets.json.
#   build_flavour native|sanitize|win-x86_64|win-i686
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

build_flavour() {
  local name=$1
  printf '== build %s (%d:%02d)\n' "$name" $((SECONDS / 60)) $((SECONDS % 60))
  cmake --preset "$name" >/dev/null
  cmake --build "build/$name" -j "$(nproc)"
}
