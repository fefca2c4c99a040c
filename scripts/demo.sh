#!/usr/bin/env bash
# Builds the console program and runs the main job on the embedded default
# (SQLite) with the shipped demo scripts: a fresh folder demo-run/ gets the
# program, the scripts of examples/demo and a Marvento/quorvexconfig.ini that
# points each entity at its SQLite database; the console program first
# rehearses the update there (nothing kept), then the program runs it as it
# would at a customer's site, and the databases are shown afterwards.
#
#   ./scripts/demo.sh            the console program
#   ./scripts/demo.sh --window   the window program on the same folder (needs a display)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# Only what the chosen program needs: the window adds Qt. The demo builds in
# a folder of its own, so that a developer's build keeps its options.
program=corvalensql-cli
targets=(corvalensql-cli)
gui=OFF
if [ "${1:-}" = --window ]; then
  program=corvalensql
  targets+=(corvalensql)
  gui=ON
  ./scripts/install-deps.sh --window
else
  ./scripts/install-deps.sh --console
fi

jobs=${JOBS:-2}
build=build-demo
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVALEN_WITH_GUI=$gui \
  -DCORVALEN_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

run="$root/demo-run"
rm -rf "$run"
mkdir -p "$run/Marvento"
cp "$build/src/console/corvalensql-cli" "$run/"
if [ "$program" = corvalensql ]; then cp "$build/src/app/corvalensql" "$run/"; fi
find examples/demo -maxdepth 1 -type f ! -name .gitattributes -exec cp {} "$run/" \;
cp examples/demo/Marvento/quorvexconfig.ini "$run/Marvento/"
# The data-access component never creates a database: make the empty ones.
sqlite3 "$run/Marvento/erp.db" 'PRAGMA user_version = 1;'
sqlite3 "$run/Marvento/personal.db" 'PRAGMA user_version = 1;'

# Tables of a demo database, one per line, with their row counts.
show_tables() {
  for table in $(sqlite3 "$run/Marvento/$1.db" "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name"); do
    echo "   $table: $(sqlite3 "$run/Marvento/$1.db" "SELECT count(*) FROM $table") rows"
  done
}

echo "== Rehearsing the update in $run (every script run, nothing kept)"
set +e
(cd "$run" && ProgramFiles="$run" ./corvalensql-cli --rehearse)
rehearsal=$?
set -e
echo "== rehearsal exit code: $rehearsal"
for db in erp personal; do
  echo "-- Marvento/$db.db after the rehearsal: $(sqlite3 "$run/Marvento/$db.db" "SELECT count(*) FROM sqlite_master") schema objects"
done
if [ "$rehearsal" -ne 0 ]; then
  echo "== The rehearsal found problems: the update is not run." >&2
  exit "$rehearsal"
fi

echo "== Running the update in $run"
set +e
(cd "$run" && ProgramFiles="$run" "./$program")
status=$?
set -e
echo "== $program exit code: $status"

echo "== What the scripts changed"
for db in erp personal; do
  echo "-- Marvento/$db.db"
  show_tables "$db"
done
if [ "$status" -eq 0 ]; then
  echo "== Demo databases updated."
else
  echo "== The update did not complete (exit code $status)." >&2
fi
exit "$status"
