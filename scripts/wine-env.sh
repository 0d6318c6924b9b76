# Sourced by every script that runs Windows programs: where Wine is.
# Override WINE64 (and WINESERVER) in the environment for another install.
export WINE64=${WINE64:-/usr/lib/wine/wine64}
export WINESERVER=${WINESERVER:-wineserver}
