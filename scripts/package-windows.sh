#!/usr/bin/env bash
# Cross-builds the Windows programs into build-windows/ (the build that
# scripts/test-windows.sh tests) and packs dist/CorvalenSQL-<version>-win64.zip
# with corvalensql.exe and corvalensql-cli.exe (stripped of their debugging
# information), the README and an example quorvexconfig.ini.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/windows-deps.sh
./scripts/install-deps.sh zip

cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$(pwd)/cmake/toolchain-mingw-w64.cmake" >/dev/null
cmake --build build-windows -j "${JOBS:-2}" --target corvalensql corvalensql-cli

version=$(cat build-windows/VERSION)
name="CorvalenSQL-${version}-win64"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$name"
for program in src/app/corvalensql.exe src/console/corvalensql-cli.exe; do
  x86_64-w64-mingw32-strip -o "$stage/$name/$(basename "$program")" "build-windows/$program"
done
cp README.md "$stage/$name/README.md"
cp examples/windows/quorvexconfig.ini "$stage/$name/quorvexconfig.ini"
mkdir -p dist
rm -f "dist/$name.zip"
(cd "$stage" && zip -q -r -X "$OLDPWD/dist/$name.zip" "$name")
echo "dist/$name.zip"
