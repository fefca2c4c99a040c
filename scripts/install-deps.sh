#!/usr/bin/env bash
# Installs the Debian packages the project needs, skipping those already
# there. With no argument, everything (building, the window, developing);
# --console: what building and running the console program needs;
# --window: that and the Qt window; other arguments are package names,
# installed instead (scripts/windows-deps.sh uses it for the Windows build's
# packages).
set -euo pipefail

console=(
  build-essential cmake ninja-build pkg-config googletest libgtest-dev libgmock-dev
  libicu-dev libsqlite3-dev unixodbc-dev libcli11-dev nlohmann-json3-dev sqlite3
)
window=(qt6-base-dev qt6-qpa-plugins libgl-dev fonts-dejavu-core)
develop=(
  libbenchmark-dev odbc-postgresql tdsodbc postgresql
  xvfb xclip xdotool dbus xfce4-clipman libxcb1-dev
)
case "${1:-}" in
  "") packages=("${console[@]}" "${window[@]}" "${develop[@]}") ;;
  --console) packages=("${console[@]}") ;;
  --window) packages=("${console[@]}" "${window[@]}") ;;
  *) packages=("$@") ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}; run as root or install them first." >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq -o DPkg::Lock::Timeout=600 --no-install-recommends "${missing[@]}"
