# Sourced by every script that runs Windows programs: where Wine is.
# Override WINE64, WINE32 (and WINESERVER) in the environment for another
# install. WINE64 makes the prefixes; a test runs its program under
# WINE_PROGRAM, the loader of the build's bitness (WINE32 for i686).
export WINE64=${WINE64:-/usr/lib/wine/wine64}
export WINE32=${WINE32:-/usr/lib/wine/wine}
export WINE_PROGRAM=${WINE_PROGRAM:-$WINE64}
export WINESERVER=${WINESERVER:-wineserver}
