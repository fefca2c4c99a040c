#!/usr/bin/env bash
# Timed harness: the console program against the sqlite3 shell on SQLite.
#
# One script of 50,000 one-row INSERTs, each followed by GO, run by
# corvalensql-cli; the same statements applied by the sqlite3 shell in one
# transaction. Both write a fresh database file; the runs alternate so that
# the machine's load falls on both alike. Each figure is the best of several
# runs. Bar: console <= shell x 1.05.
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

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b < a ? b : a) }'; }

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

console_once() {
  : >"$work/run/Marvento/ncm.db"
  local start end
  start=$(now)
  "$cli" --scripts "$work/run" --config "$work/run/Marvento/quorvexconfig.ini" >/dev/null
  end=$(now)
  elapsed "$start" "$end"
}

shell_once() {
  : >"$work/shell.db"
  local start end
  start=$(now)
  sqlite3 "$work/shell.db" <"$work/shell.sql"
  end=$(now)
  elapsed "$start" "$end"
}

console=999999 shell=999999
for _ in $(seq "$runs"); do
  console=$(smaller "$console" "$(console_once)")
  shell=$(smaller "$shell" "$(shell_once)")
done

rows_console=$(sqlite3 "$work/run/Marvento/ncm.db" 'SELECT count(*) FROM t')
rows_shell=$(sqlite3 "$work/shell.db" 'SELECT count(*) FROM t')
ratio=$(awk -v c="$console" -v s="$shell" 'BEGIN { printf "%.2f", c / s }')
echo "console ${console} s, sqlite3 shell ${shell} s: x${ratio} (best of ${runs}; rows ${rows_console} and ${rows_shell})"
if [ "$rows_console" != 50000 ] || [ "$rows_shell" != 50000 ]; then
  echo "FAIL: a run did not insert every row"
  exit 1
fi
if awk -v r="$ratio" 'BEGIN { exit !(r > 1.05) }'; then
  echo "FAIL: the console program takes more than 1.05 times the shell's time"
  exit 1
fi
