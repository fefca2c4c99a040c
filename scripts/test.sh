#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build with
# the window program and benchmarks, then the tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, then the Windows build
# under Wine (scripts/test-windows.sh). A private PostgreSQL server is started
# for the database tests and stopped at the end; the SQL Server tests start
# the project's TDS test server (tests/tds) themselves and reach it through
# FreeTDS (tdsodbc), registered in the build's own odbcinst.ini.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

./scripts/install-deps.sh

jobs=${JOBS:-2}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

# shellcheck source=scripts/pg-server.sh
source scripts/pg-server.sh
pg_start
trap pg_stop EXIT

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs" --timeout 300)

if [ "${CORVALEN_SKIP_SANITIZERS:-0}" != 1 ]; then
  cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCORVALEN_SANITIZE=ON -DCORVALEN_WITH_GUI=OFF -DCORVALEN_BENCHMARKS=OFF >/dev/null
  cmake --build build-sanitize -j "$jobs"
  (cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 \
     UBSAN_OPTIONS=print_stacktrace=1 \
     ctest --output-on-failure -j "$jobs" --timeout 600)
fi

if [ "${CORVALEN_SKIP_WINDOWS:-0}" != 1 ]; then
  ./scripts/test-windows.sh
fi
