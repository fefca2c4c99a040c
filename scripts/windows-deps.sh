#!/usr/bin/env bash
# Prepares what the cross build for 64-bit Windows needs and Debian does not
# package for that target, under build-windows-deps/ (never in the sources):
#   - the MinGW-w64 compiler, wine64 and the GoogleTest sources (apt-get);
#   - SQLite from its Debian source package, fetched with
#     `apt-get source` through a source list private to this script (the
#     system's own lists are left alone), with Debian's patches applied;
#   - static libraries of SQLite and GoogleTest/GoogleMock built with
#     the cross compiler and installed in build-windows-deps/prefix, where
#     cmake/toolchain-mingw-w64.cmake finds them;
#   - build-windows-deps/cli11/include/CLI and json/include/nlohmann, links to
#     the header-only CLI11 and nlohmann/json, so that the cross build sees
#     them without the rest of /usr/include.
# A second run finds everything in place and does nothing costly.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

deps=$root/build-windows-deps
prefix=$deps/prefix
host=x86_64-w64-mingw32
jobs=${JOBS:-2}
toolchain=$root/cmake/toolchain-mingw-w64.cmake

# --- Debian packages ---------------------------------------------------------
./scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine64 googletest libcli11-dev \
  nlohmann-json3-dev tcl dpkg-dev xz-utils build-essential cmake ninja-build

mkdir -p "$deps/src" "$deps/stamps" "$prefix/include" "$prefix/lib"

# A step runs again only when its stamp is missing or records other settings.
step_done() { [ -f "$deps/stamps/$1" ] && [ "$(cat "$deps/stamps/$1")" = "$2" ]; }
mark_done() { printf '%s' "$2" >"$deps/stamps/$1"; }

# --- Debian source packages through a private source list --------------------
# The release the Linux build uses; its deb-src entries, made from the
# system's own `deb` entries for it (scripts/deb-src-list.sh), live in a list
# private to this script.
release=bookworm
apt_dir=$deps/apt
apt_private=(
  -o "Dir::Etc::SourceList=$apt_dir/none.list"
  -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
  -o "Dir::State::Lists=$apt_dir/lists"
  -o "Dir::Cache=$apt_dir/cache"
  -o "APT::Sandbox::User=root"
)

fetch_source() {  # fetch_source PACKAGE [SUITE]: unpacks it under $deps/src, once
  local pkg=$1 suite=${2:-$release} sources
  if step_done "source-$pkg" "fetched $suite"; then return 0; fi
  sources=$(./scripts/deb-src-list.sh "$release") || exit 1
  if ! step_done lists-updated "$sources"; then
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/sources.list.d"
    : >"$apt_dir/none.list"
    printf '%s\n' "$sources" >"$apt_dir/sources.list.d/private.sources"
    apt-get "${apt_private[@]}" -qq update || return 1
    mark_done lists-updated "$sources"
  fi
  rm -rf "$deps/src/$pkg"
  mkdir -p "$deps/src/$pkg"
  (cd "$deps/src/$pkg" && apt-get "${apt_private[@]}" -qq source "$pkg/$suite") \
    >"$deps/src/$pkg.log" 2>&1 || return 1
  mark_done "source-$pkg" "fetched $suite"
}

# The unpacked tree of a fetched source package (its one directory).
source_tree() { find "$deps/src/$1" -mindepth 1 -maxdepth 1 -type d | head -n 1; }

cc=$host-gcc-posix
ar=$host-gcc-ar-posix
cflags=(-O2 -D_WIN32_WINNT=0x0A00)

# --- SQLite ------------------------------------------------------------------
# The options of Debian's libsqlite3: the CFLAGS of debian/rules in the
# sqlite3 source package and what its configure options add. Thread-safe.
sqlite_flags=(
  -fno-strict-aliasing
  -DSQLITE_SECURE_DELETE -DSQLITE_ENABLE_COLUMN_METADATA
  -DSQLITE_ENABLE_FTS3 -DSQLITE_ENABLE_FTS3_PARENTHESIS
  -DSQLITE_ENABLE_RTREE=1 -DSQLITE_SOUNDEX=1
  -DSQLITE_ENABLE_UNLOCK_NOTIFY
  -DSQLITE_OMIT_LOOKASIDE=1 -DSQLITE_ENABLE_DBSTAT_VTAB
  -DSQLITE_ALLOW_ROWID_IN_VIEW
  -DSQLITE_ENABLE_UPDATE_DELETE_LIMIT=1
  -DSQLITE_ENABLE_LOAD_EXTENSION
  -DSQLITE_ENABLE_JSON1
  -DSQLITE_LIKE_DOESNT_MATCH_BLOBS
  -DSQLITE_THREADSAFE=1
  -DSQLITE_ENABLE_FTS3_TOKENIZER=1
  -DSQLITE_USE_URI=1
  -DSQLITE_MAX_SCHEMA_RETRY=25
  -DSQLITE_ENABLE_PREUPDATE_HOOK
  -DSQLITE_ENABLE_SESSION
  -DSQLITE_ENABLE_STMTVTAB
  -DSQLITE_MAX_VARIABLE_NUMBER=250000
  -DSQLITE_ENABLE_FTS4 -DSQLITE_ENABLE_FTS5  # configure --enable-fts4/5
)
if ! step_done sqlite "${cflags[*]} ${sqlite_flags[*]}"; then
  fetch_source sqlite3 || { echo "Cannot fetch the sqlite3 source package." >&2; exit 1; }
  tree=$(source_tree sqlite3)
  # The amalgamation is generated on the build machine (it needs tclsh).
  if [ ! -f "$deps/sqlite-amalgamation/sqlite3.c" ]; then
    rm -rf "$deps/sqlite-amalgamation"
    mkdir -p "$deps/sqlite-amalgamation"
    (cd "$deps/sqlite-amalgamation" && "$tree/configure" >/dev/null && make -s sqlite3.c >/dev/null)
  fi
  "$cc" "${cflags[@]}" "${sqlite_flags[@]}" -c "$deps/sqlite-amalgamation/sqlite3.c" \
    -o "$deps/sqlite-amalgamation/sqlite3.obj"
  rm -f "$prefix/lib/libsqlite3.a"
  "$ar" rcs "$prefix/lib/libsqlite3.a" "$deps/sqlite-amalgamation/sqlite3.obj"
  cp "$deps/sqlite-amalgamation/sqlite3.h" "$tree/src/sqlite3ext.h" "$prefix/include/"
  mark_done sqlite "${cflags[*]} ${sqlite_flags[*]}"
fi

# --- GoogleTest and GoogleMock -----------------------------------------------
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
if ! step_done googletest "$gtest_version"; then
  rm -rf "$deps/googletest-build"
  cmake -S /usr/src/googletest -B "$deps/googletest-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON \
    -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$deps/googletest-build" -j "$jobs" >/dev/null
  cmake --install "$deps/googletest-build" >/dev/null
  mark_done googletest "$gtest_version"
fi

# --- CLI11 and nlohmann/json (header-only) ------------------------------------
mkdir -p "$deps/cli11/include" "$deps/json/include"
ln -sfn /usr/include/CLI "$deps/cli11/include/CLI"
ln -sfn /usr/include/nlohmann "$deps/json/include/nlohmann"
