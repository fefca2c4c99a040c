#!/usr/bin/env bash
# The failing text that a failed script leaves on the clipboard must outlive
# the program: on X11 the program hands it to the clipboard manager as it
# exits. Runs the window program under Xvfb with xfce4-clipman as the
# clipboard manager. Exit 77 (skipped) when those tools are missing.
set -u
probe=$1
for tool in xvfb-run dbus-run-session xfce4-clipman xclip sqlite3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'CREATE TABLE parcial (x INTEGER);\r\nGO\r\nINSERT INTO no_existe VALUES (1);\r\nGO\r\n' \
  > "$work/NCM_01.sql"
sqlite3 "$work/ncm.db" 'PRAGMA user_version = 1;'
printf '[NCM]\nProvider=sqlite\nConnection=ncm.db\n' > "$work/quorvexconfig.ini"

cat > "$work/session.sh" <<'SESSION'
xfce4-clipman >/dev/null 2>&1 &
manager=$!
QT_QPA_PLATFORM=xcb "$1" "$2" "$2/quorvexconfig.ini" >/dev/null 2>&1
echo "exit=$?"
# The manager takes the text over as the program exits; give it a moment.
for _ in 1 2 3 4 5 6 7 8 9 10; do
  text=$(timeout 5 xclip -o -selection clipboard 2>/dev/null | tr -d '\r')
  [ -n "$text" ] && break
  sleep 0.5
done
printf 'clipboard=%s\n' "$text"
kill "$manager" 2>/dev/null
SESSION
expected=$'clipboard=CREATE TABLE parcial (x INTEGER);\n\nINSERT INTO no_existe VALUES (1);'
# The probe waits until the clipboard manager owns its selection (exit 77 if
# it never does). Under load xfce4-clipman at times misses the text of a
# program that exits right after setting it: up to three tries.
for attempt in 1 2 3; do
  output=$(timeout 120 xvfb-run -a dbus-run-session -- bash "$work/session.sh" "$probe" "$work" 2>/dev/null)
  [[ "$output" == *"$expected"* ]] && break
done
echo "$output"

grep -qx 'exit=77' <<<"$output" && { echo "FAIL: the clipboard manager never started"; exit 1; }
grep -qx 'exit=2' <<<"$output" || { echo "FAIL: the program did not end as after a failed script"; exit 1; }
[ "$(sqlite3 "$work/ncm.db" "SELECT count(*) FROM sqlite_master WHERE name = 'parcial'")" = 0 ] ||
  { echo "FAIL: the failed script's work was committed"; exit 1; }
if [[ "$output" != *"$expected"* ]]; then
  echo "FAIL: the clipboard did not keep the failing text"
  exit 1
fi
echo "the clipboard kept the failing text after the program ended"
