#!/usr/bin/env bash
# Timed harness: the console program against the sqlite3 shell on SQLite.
#
# One script of 50,000 one-row INSERTs, each followed by GO, run by
# corvalensql-cli; the same statements applied by the sqlite3 shell in one
# transaction. Both write a fresh database file; the runs alternate so that
# the machine's load falls on both alike. Each figure is the best of several
# runs: wall time (the bar: console <= shell x 1.05) and CPU time, and, with
# valgrind installed, the instructions each executes (unlike time, the same
# on a busy machine).
#
# Usage: bench/sqlite_shell_ratio.sh [BUILD_DIR] [RUNS]   (default: build, 9)
# Prints the figures and exits non-zero when the bar is missed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${2:-9}
cli="$build/src/console/corvalensql-cli"
[ -x "$cli" ] || { echo "missing $cli: build first" >&2; exit 2; }
command -v sqlite3 >/dev/null || { echo "missing the sqlite3 shell (Debian: sqlite3)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

smaller() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b < a ? b : a) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

mkdir -p "$work/run/Marvento"
printf '[NCM]\nProvider=sqlite\nConnection=ncm.db\n' >"$work/run/Marvento/quorvexconfig.ini"
awk 'BEGIN {
  printf "CREATE TABLE t (n integer);\r\nGO\r\n";
  for (i = 1; i <= 50000; i++) printf "INSERT INTO t VALUES (%d);\r\nGO\r\n", i;
}' >"$work/run/NCM_01.sql"
awk 'BEGIN {
  print "BEGIN;"; print "CREATE TABLE t (n integer);";
  for (i = 1; i <= 50000; i++) printf "INSERT INTO t VALUES (%d);\n", i;
  print "COMMIT;";
}' >"$work/shell.sql"

console_run() {
  : >"$work/run/Marvento/ncm.db"
  "$cli" --scripts "$work/run" --config "$work/run/Marvento/quorvexconfig.ini" >/dev/null
}
shell_run() {
  : >"$work/shell.db"
  sqlite3 "$work/shell.db" <"$work/shell.sql"
}

# Prints "WALL CPU" (seconds; CPU is user + system) of one run on a fresh
# database.
timed() {
  local TIMEFORMAT='%R %U %S' figures
  figures=$({ time "$1" 2>&1; } 2>&1)
  awk '{ printf "%.3f %.3f", $1, $2 + $3 }' <<<"$figures"
}

console_wall=999999 console_cpu=999999 shell_wall=999999 shell_cpu=999999
for _ in $(seq "$runs"); do
  read -r wall cpu <<<"$(timed console_run)"
  console_wall=$(smaller "$console_wall" "$wall") console_cpu=$(smaller "$console_cpu" "$cpu")
  read -r wall cpu <<<"$(timed shell_run)"
  shell_wall=$(smaller "$shell_wall" "$wall") shell_cpu=$(smaller "$shell_cpu" "$cpu")
done

rows_console=$(sqlite3 "$work/run/Marvento/ncm.db" 'SELECT count(*) FROM t')
rows_shell=$(sqlite3 "$work/shell.db" 'SELECT count(*) FROM t')
ratio=$(ratio "$console_wall" "$shell_wall")
echo "wall: console ${console_wall} s, sqlite3 shell ${shell_wall} s: x${ratio}"
echo "CPU:  console ${console_cpu} s, sqlite3 shell ${shell_cpu} s: x$(ratio "$console_cpu" "$shell_cpu")"
echo "(best of ${runs}; rows ${rows_console} and ${rows_shell})"
# Instructions do not depend on the machine's load: counted when valgrind is
# there.
if command -v valgrind >/dev/null; then
  count() { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 | awk '/refs:/ { gsub(",", "", $NF); print $NF }'; }
  : >"$work/run/Marvento/ncm.db"
  : >"$work/shell.db"
  console_ir=$(count "$cli" --scripts "$work/run" --config "$work/run/Marvento/quorvexconfig.ini" 2>/dev/null)
  shell_ir=$(count sqlite3 "$work/shell.db" <"$work/shell.sql")
  echo "instructions: console ${console_ir}, sqlite3 shell ${shell_ir}: x$(ratio "$console_ir" "$shell_ir")"
fi
if [ "$rows_console" != 50000 ] || [ "$rows_shell" != 50000 ]; then
  echo "FAIL: a run did not insert every row"
  exit 1
fi
if awk -v r="$ratio" 'BEGIN { exit !(r > 1.05) }'; then
  echo "FAIL: the console program takes more than 1.05 times the shell's time"
  exit 1
fi
