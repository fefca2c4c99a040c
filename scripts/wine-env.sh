# Sourced by every script that runs Windows programs: WINE, the 64-bit Wine
# loader (Debian's wine64 package keeps it out of PATH), and WINESERVER, the
# server beside it (Wine reads that variable too). Set WINE beforehand to use
# another Wine; CMake's cross build takes the same variable for its tests.
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-$(dirname "$WINE")/wineserver}
export WINE WINESERVER
