#!/usr/bin/env bash
# Builds the Windows programs and tests with the MinGW-w64 cross compiler into
# build-windows/ and runs every test executable once under wine64 (all its
# cases in one start: each Wine start costs about a second); the platform
# tests of double-byte code pages start once more, with Wine set to one.
# Wine gets a prefix of its own in a temporary folder, removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/windows-deps.sh

jobs=${JOBS:-2}
cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$(pwd)/cmake/toolchain-mingw-w64.cmake" >/dev/null
cmake --build build-windows -j "$jobs"

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/corvalen-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

# The first start fills the prefix (several seconds); the tests then share it.
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
(cd build-windows && ctest --output-on-failure -j "$jobs" --timeout 600)
