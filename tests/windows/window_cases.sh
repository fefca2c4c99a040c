#!/usr/bin/env bash
# The Windows window under Xvfb and wine64: its own tests
# (corvalen_window_windows_test.exe), then the window program's three cases:
#   (a) in a folder without scripts it ends by itself after about 3 s with 0;
#   (b) with an entity it cannot connect it shows the box, then waits, and
#       Esc ends it with 1;
#   (c) on a failing script it ends with 2 after the box, with nothing of the
#       script committed, and leaves the failing text on the clipboard.
# Usage: window_cases.sh BUILD_DIR (a cross build holding corvalensql.exe).
# The program takes its own folder as the scripts folder, so each case copies
# it into a folder of its own; the configuration goes where a 64-bit build
# looks for it, C:\Program Files (x86)\Marvento, and points at SQLite files
# by their Linux paths (Wine's drive Z: is /). Boxes are answered and Esc is
# pressed with xdotool: with no window manager the focus does not follow the
# windows, so each key is sent after a click into its window. A box counts as
# answered when its own window is gone: the run may show the next box, with
# the same title, at once.
# Wine gets a prefix of its own, started on this script's display: a prefix
# whose desktop started without one cannot show windows. Exit 77 (skipped)
# when a tool or the program is missing.
set -uo pipefail
build=${1:?usage: window_cases.sh BUILD_DIR}
# shellcheck source=scripts/wine-env.sh
source "$(dirname "$0")/../../scripts/wine-env.sh"
wine=$WINE
# The project's version, as the build wrote it.
version=$(cat "$build/VERSION" 2>/dev/null)
[ -n "$version" ] || { echo "skipped: no VERSION in $build"; exit 77; }
version_title="CorvalenSQL v.$version"
failure_title='¡Atencion!'

for tool in Xvfb xdotool sqlite3 "$wine"; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
exe=$(find "$build" -name corvalensql.exe -type f -print -quit 2>/dev/null)
[ -n "$exe" ] || { echo "skipped: no corvalensql.exe under $build"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/corvalen-window.XXXXXX")
export WINEPREFIX=$work/wine WINEDEBUG=-all
xvfb_pid=
cleanup() {
  "$WINESERVER" -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A display of its own; Xvfb picks a free number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")

# The first start fills a new prefix; the cases then share it.
"$wine" wineboot --init >/dev/null 2>&1
"$WINESERVER" -p 2>/dev/null
config_dir="$WINEPREFIX/drive_c/Program Files (x86)/Marvento"
mkdir -p "$config_dir"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The version resource and the manifest (long path aware) say the version.
if command -v strings >/dev/null; then
  versions=$(strings -el "$exe" | grep -A1 -xE 'FileVersion|ProductVersion' | grep -cxF "$version")
  [ "$versions" = 2 ] || fail "the version resource does not say $version"
  texts=$(strings "$exe")
  grep -qF "version=\"$version.0\"" <<<"$texts" || fail "the manifest does not say $version"
  grep -q '<longPathAware[^>]*>true<' <<<"$texts" || fail "the manifest is not long path aware"
fi

# The window's own tests.
unit=$(find "$build" -name corvalen_window_windows_test.exe -type f -print -quit 2>/dev/null)
if [ -n "$unit" ]; then
  timeout 120 "$wine" "$unit" || fail "corvalen_window_windows_test"
fi

# Starts the program copied into folder $1 with the configuration text $2;
# sets $pid and $started (seconds, with fractions).
start_case() {
  mkdir -p "$1"
  cp "$exe" "$1/corvalensql.exe"
  printf '%b' "$2" > "$config_dir/quorvexconfig.ini"
  started=$(date +%s.%N)
  (cd "$1" && exec timeout 180 "$wine" ./corvalensql.exe >/dev/null 2>&1) &
  pid=$!
}

alive() { kill -0 "$pid" 2>/dev/null; }

# The id of the first shown window whose whole title is $1, or nothing.
# Windows Wine has hidden but not yet destroyed do not count.
window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }

# Whether window $2, titled $1, is still shown.
shown() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -qx "$2"; }

# Clicks into window $1 (at a point that holds no button) and sends key $2.
press_in() {
  local X= Y= WIDTH= HEIGHT= SCREEN= WINDOW=
  eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null)"
  [ -n "$X" ] || return 1  # gone meanwhile
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 4)) click 1 2>/dev/null
  sleep 0.2
  xdotool key "$2" 2>/dev/null
}

# Waits up to $2 seconds for a box titled $1 and answers it with Return.
# True when a box was answered.
answer_box() {
  local box= deadline=$((SECONDS + $2))
  while alive && [ $SECONDS -lt $deadline ]; do
    box=$(window_named "$1")
    [ -n "$box" ] && break
    sleep 0.2
  done
  [ -n "$box" ] || return 1
  for _ in 1 2 3 4; do
    press_in "$box" Return
    for _ in $(seq 1 25); do
      shown "$1" "$box" || return 0
      sleep 0.2
    done
  done
  fail "the box \"$1\" could not be answered"
  return 1
}

# Waits up to $1 seconds for the program to end; sets $code and $elapsed.
finish() {
  local deadline=$((SECONDS + $1))
  while alive && [ $SECONDS -lt $deadline ]; do sleep 0.1; done
  if alive; then
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    code=timeout
  else
    wait "$pid"
    code=$?
  fi
  elapsed=$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
}

# ---- (a) no scripts: the completion caption, three seconds, exit 0 ----
start_case "$work/empty" '[CATALOGOS]\nProvider=sqlite\nConnection=/nonexistent.db\n'
finish 60
echo "(a) empty folder: exit $code after ${elapsed}s"
[ "$code" = 0 ] || fail "(a) ended with $code, not 0"
awk -v t="$elapsed" 'BEGIN { exit !(t >= 3) }' || fail "(a) ended after ${elapsed}s, before the 3 s pause"
awk -v t="$elapsed" 'BEGIN { exit !(t < 30) }' || fail "(a) took ${elapsed}s"
[ -z "$(window_named "$version_title")$(window_named 'Application Error')" ] ||
  fail "(a) showed a box"

# ---- (b) an entity that cannot be connected: box, wait, Esc, exit 1 ----
mkdir -p "$work/unreachable"
printf 'SELECT 1;\r\nGO\r\n' > "$work/unreachable/CATALOGOS_01.sql"
printf 'SELECT 2;\r\nGO\r\n' > "$work/unreachable/NCM_01.sql"
sqlite3 "$work/ncm.db" 'PRAGMA user_version = 1;'
start_case "$work/unreachable" \
  "[CATALOGOS]\nProvider=sqlite\nConnection=$work/missing.db\n[NCM]\nProvider=sqlite\nConnection=$work/ncm.db\n"
boxes=0
if answer_box "$version_title" 60; then
  boxes=1
  while answer_box "$version_title" 4; do boxes=$((boxes + 1)); done
fi
[ "$boxes" -ge 1 ] || fail "(b) showed no box for the entity"
sleep 2
if alive; then
  # It waits for Esc; Esc before the run has ended would be ignored, so it
  # is pressed again if the program is still there.
  for _ in 1 2 3; do
    main=$(window_named Corvalen)
    [ -n "$main" ] && press_in "$main" Escape
    for _ in $(seq 1 30); do alive || break; sleep 0.1; done
    alive || break
  done
  finish 15
else
  finish 1
  fail "(b) ended before Esc (exit $code)"
fi
echo "(b) unreachable entity: $boxes box(es), exit $code"
[ "$code" = 1 ] || fail "(b) ended with $code, not 1"

# ---- (c) a failing script: its box, exit 2, nothing committed ----
mkdir -p "$work/failing"
printf 'CREATE TABLE parcial (x INTEGER);\r\nGO\r\nINSERT INTO no_existe VALUES (1);\r\nGO\r\n' \
  > "$work/failing/CATALOGOS_01.sql"
sqlite3 "$work/erp.db" 'PRAGMA user_version = 1;'
start_case "$work/failing" "[CATALOGOS]\nProvider=sqlite\nConnection=$work/erp.db\n"
# A failed script is told in a box of its own title, not the version's.
answer_box "$failure_title" 60 || fail "(c) showed no box for the failed script"
finish 30
echo "(c) failing script: exit $code"
[ "$code" = 2 ] || fail "(c) ended with $code, not 2"
[ "$(sqlite3 "$work/erp.db" "SELECT count(*) FROM sqlite_master WHERE name = 'parcial'")" = 0 ] ||
  fail "(c) the failed script's work was committed"
if command -v xclip >/dev/null; then
  # Wine's clipboard keeps the text after the program has ended.
  clipboard=$(timeout 5 xclip -o -selection clipboard 2>/dev/null | tr -d '\r')
  [[ "$clipboard" == *"INSERT INTO no_existe"* ]] ||
    fail "(c) the clipboard does not hold the failing text: $clipboard"
fi

[ "$failures" = 0 ] || exit 1
echo "the window's three cases passed"
