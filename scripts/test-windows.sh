#!/usr/bin/env bash
# Builds the Windows programs and tests with the MinGW-w64 cross compiler into
# build-windows/ and runs every test executable once under wine64 (all its
# cases in one start: each Wine start costs about a second); the platform
# tests of double-byte code pages start once more, with Wine set to one.
# Wine gets a prefix of its own in a temporary folder, removed at the end.
# The private PostgreSQL server of scripts/pg-server.sh runs meanwhile, so
# that the ODBC tests and the console program's runs reach it through Wine's
# odbc32 (which hands the calls to the host's unixODBC and its drivers); the
# SQL Server tests start the TDS test server (tests/tds) themselves and reach
# it through FreeTDS the same way, registered by the build's odbcinst.ini
# (CTest passes ODBCSYSINI, which Wine hands on to unixODBC).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/windows-deps.sh

jobs=${JOBS:-2}
cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$(pwd)/cmake/toolchain-mingw-w64.cmake" >/dev/null
cmake --build build-windows -j "$jobs"

# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
# shellcheck source=scripts/pg-server.sh
source scripts/pg-server.sh
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/corvalen-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all
cleanup() {
  "$WINESERVER" -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  pg_stop
}
trap cleanup EXIT

# The first start fills the prefix (several seconds); the tests then share
# it. The server starts meanwhile.
"$WINE" wineboot --init >/dev/null 2>&1 &
wineboot=$!
pg_start
wait "$wineboot"
(cd build-windows && ctest --output-on-failure -j "$jobs" --timeout 600)
