#!/usr/bin/env bash
# Timed harness: the cost of a run grows linearly with the work.
#
# 1. The window program (offscreen Qt) against the console program on a
#    script of 200,000 one-row INSERTs, each followed by GO, on SQLite. Bar:
#    window <= console x 1.5 + the 3-second closing pause.
# 2. The console program on scripts of only GO lines, 8, 16 and 32 MB (large
#    enough that caches and the program's start no longer decide the time).
#    Bar: doubling the script at most doubles the time (ratio <= 2.2).
#
# Usage: bench/linear_cost.sh [BUILD_DIR]   (default: build; built with the GUI)
# Prints the figures and exits non-zero when a bar is missed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
cli="$build/src/console/corvalensql-cli"
gui="$build/src/app/corvalensql"
for program in "$cli" "$gui"; do
  [ -x "$program" ] || { echo "missing $program: build first" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b < a ? b : a) }'; }
# Each figure is the best of this many runs, each on a fresh database.
runs=5

# A folder with the programs' configuration for NCM on a fresh SQLite file.
prepare() {
  local dir=$1
  rm -rf "$dir" && mkdir -p "$dir/Marvento"
  : >"$dir/Marvento/ncm.db"
  printf '[NCM]\nProvider=sqlite\nConnection=ncm.db\n' >"$dir/Marvento/quorvexconfig.ini"
}

console_seconds() {
  local dir=$1 start end best=999999
  for _ in $(seq $runs); do
    : >"$dir/Marvento/ncm.db"
    start=$(now)
    "$cli" --scripts "$dir" --config "$dir/Marvento/quorvexconfig.ini" >/dev/null
    end=$(now)
    best=$(smaller "$best" "$(elapsed "$start" "$end")")
  done
  echo "$best"
}

# The window program takes its own folder as the scripts folder and its
# configuration from $ProgramFiles/Marvento.
window_seconds() {
  local dir=$1 start end best=999999
  cp "$gui" "$dir/corvalensql"
  for _ in $(seq $runs); do
    : >"$dir/Marvento/ncm.db"
    start=$(now)
    ProgramFiles="$dir" QT_QPA_PLATFORM=offscreen timeout 120 "$dir/corvalensql" 2>/dev/null
    end=$(now)
    best=$(smaller "$best" "$(elapsed "$start" "$end")")
  done
  echo "$best"
}

echo "== window against console, 200,000 INSERTs each followed by GO"
inserts="$work/inserts.sql"
awk 'BEGIN {
  printf "CREATE TABLE t (n integer);\r\nGO\r\n";
  for (i = 1; i <= 200000; i++) printf "INSERT INTO t VALUES (%d);\r\nGO\r\n", i;
}' >"$inserts"
prepare "$work/c"; cp "$inserts" "$work/c/NCM_01.sql"
console=$(console_seconds "$work/c")
prepare "$work/w"; cp "$inserts" "$work/w/NCM_01.sql"
window=$(window_seconds "$work/w")
rows=$(sqlite3 "$work/w/Marvento/ncm.db" 'SELECT count(*) FROM t')
bar=$(awk -v c="$console" 'BEGIN { printf "%.3f", c * 1.5 + 3 }')
echo "console ${console} s, window ${window} s (3 s of it the closing pause), bar ${bar} s, rows ${rows}"
status=0
if awk -v w="$window" -v b="$bar" 'BEGIN { exit !(w > b) }' || [ "$rows" != 200000 ]; then
  echo "FAIL: the window program misses its bar"
  status=1
fi

echo "== console on scripts of only GO lines"
previous=""
for mb in 8 16 32; do
  prepare "$work/go$mb"
  # An empty first line: a GO on the first line would not separate.
  awk -v n=$((mb * 1024 * 1024 / 4)) 'BEGIN { printf "\r\n"; for (i = 0; i < n; i++) printf "GO\r\n" }' \
    >"$work/go$mb/NCM_01.sql"
  seconds=$(console_seconds "$work/go$mb")
  if [ -n "$previous" ]; then
    ratio=$(awk -v a="$previous" -v b="$seconds" 'BEGIN { printf "%.2f", b / a }')
    echo "${mb} MB: ${seconds} s (x${ratio} for twice the size)"
    if awk -v r="$ratio" 'BEGIN { exit !(r > 2.2) }'; then
      echo "FAIL: doubling the script more than doubles the time"
      status=1
    fi
  else
    echo "${mb} MB: ${seconds} s"
  fi
  previous=$seconds
done
exit $status
