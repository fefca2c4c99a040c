#!/usr/bin/env bash
# Installs the Debian packages the project needs, skipping those already
# there; given package names, installs those instead (scripts/windows-deps.sh
# uses it for the Windows build's packages).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-qpa-plugins libgl-dev fonts-dejavu-core
  libicu-dev libsqlite3-dev unixodbc-dev libcli11-dev nlohmann-json3-dev
  odbc-postgresql tdsodbc postgresql
  xvfb xclip xdotool sqlite3 dbus xfce4-clipman
)
if [ $# -gt 0 ]; then
  packages=("$@")
fi

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
