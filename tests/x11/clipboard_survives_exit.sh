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
sleep 3
QT_QPA_PLATFORM=xcb "$1" "$2" "$2/quorvexconfig.ini" >/dev/null 2>&1
echo "exit=$?"
sleep 1
printf 'clipboard=%s\n' "$(timeout 5 xclip -o -selection clipboard 2>/dev/null | tr -d '\r')"
kill "$manager" 2>/dev/null
SESSION
expected=$'clipboard=CREATE TABLE parcial (x INTEGER);\n\nINSERT INTO no_existe VALUES (1);'
# The clipboard manager takes a moment to start on a loaded machine: one
# more try before calling it a failure.
for attempt in 1 2; do
  output=$(timeout 120 xvfb-run -a dbus-run-session -- bash "$work/session.sh" "$probe" "$work" 2>/dev/null)
  [[ "$output" == *"$expected"* ]] && break
done
echo "$output"

grep -qx 'exit=2' <<<"$output" || { echo "FAIL: the program did not end as after a failed script"; exit 1; }
[ "$(sqlite3 "$work/ncm.db" "SELECT count(*) FROM sqlite_master WHERE name = 'parcial'")" = 0 ] ||
  { echo "FAIL: the failed script's work was committed"; exit 1; }
if [[ "$output" != *"$expected"* ]]; then
  echo "FAIL: the clipboard did not keep the failing text"
  exit 1
fi
echo "the clipboard kept the failing text after the program ended"
