#!/usr/bin/env bash
# Timed harness: what a rehearsal costs against a run of the same update.
#
# One script of 50,000 one-row INSERTs, each followed by GO (the script of
# sqlite_shell_ratio.sh), rehearsed (--rehearse) and run by corvalensql-cli
# on a fresh SQLite database, alternately; with CORVALEN_TEST_PG_CONN set,
# also on PostgreSQL (a schema of its own, dropped afterwards). Each figure
# is the best wall time of several runs.
#
# Usage: bench/rehearsal_cost.sh [BUILD_DIR] [RUNS]   (default: build, 5)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${2:-5}
cli="$build/src/console/corvalensql-cli"
[ -x "$cli" ] || { echo "missing $cli: build first" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b < a ? b : a) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
wall() {
  local TIMEFORMAT='%R'
  { time "$@" >/dev/null 2>&1; } 2>&1 || true
}

# The script, its table named by $1.
script() {
  awk -v t="$1" 'BEGIN {
    printf "CREATE TABLE %s (n integer);\r\nGO\r\n", t;
    for (i = 1; i <= 50000; i++) printf "INSERT INTO %s VALUES (%d);\r\nGO\r\n", t, i;
  }'
}

# Compares a rehearsal with a run of folder $2 (label $1); $3 resets the
# database before each.
compare() {
  local label=$1 folder=$2 reset=$3 run=999999 rehearsal=999999
  for _ in $(seq "$runs"); do
    $reset
    rehearsal=$(smaller "$rehearsal" "$(wall "$cli" --rehearse --scripts "$folder" --config "$folder/q.ini")")
    $reset
    run=$(smaller "$run" "$(wall "$cli" --scripts "$folder" --config "$folder/q.ini")")
  done
  echo "$label: run ${run} s, rehearsal ${rehearsal} s, rehearsal/run $(ratio "$rehearsal" "$run")"
}

mkdir -p "$work/sqlite"
printf '[NCM]\nProvider=sqlite\nConnection=ncm.db\n' >"$work/sqlite/q.ini"
script t >"$work/sqlite/NCM_01.sql"
reset_sqlite() { : >"$work/sqlite/ncm.db"; }
compare "SQLite" "$work/sqlite" reset_sqlite

if [ -n "${CORVALEN_TEST_PG_CONN:-}" ] && [ -n "${CORVALEN_TEST_PG_PORT:-}" ]; then
  schema="bench_ensayo_$$"
  psql_run() { psql -X -q -h 127.0.0.1 -U postgres -d postgres -p "$CORVALEN_TEST_PG_PORT" -c "$1"; }
  mkdir -p "$work/pg"
  printf '[NCM]\nConnection=${CORVALEN_TEST_PG_CONN}\nDialect=postgresql\n' >"$work/pg/q.ini"
  script "$schema.t" >"$work/pg/NCM_01.sql"
  reset_pg() { psql_run "DROP SCHEMA IF EXISTS $schema CASCADE; CREATE SCHEMA $schema" >/dev/null 2>&1; }
  compare "PostgreSQL" "$work/pg" reset_pg
  psql_run "DROP SCHEMA IF EXISTS $schema CASCADE" >/dev/null 2>&1
fi
