#!/usr/bin/env bash
# scripts/deb-src-list.sh on made-up APT configurations: the deb entries of
# the release, one-line and deb822, become deb-src entries with their
# options; none for the release stops the script with what to configure.
set -euo pipefail
list=$1
etc=$(mktemp -d)
trap 'rm -rf "$etc"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$etc/sources.list.d"
cat >"$etc/sources.list" <<'LIST'
# a comment
deb [arch=amd64,i386 signed-by=/k.gpg] http://one.invalid/d bookworm main contrib # note
deb http://one.invalid/d bookworm-updates main
deb-src http://two.invalid/d bookworm main
LIST
cat >"$etc/sources.list.d/a.sources" <<'LIST'
Types: deb
URIs: http://three.invalid/d
Suites: bullseye
 bookworm
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 -----END PGP PUBLIC KEY BLOCK-----

Enabled: no
Types: deb
URIs: http://four.invalid/d
Suites: bookworm
Components: main
LIST
expected='Types: deb-src
URIs: http://one.invalid/d
Suites: bookworm
Components: main contrib
Architectures: amd64 i386
Signed-By: /k.gpg

Types: deb-src
Suites: bookworm
URIs: http://three.invalid/d
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 -----END PGP PUBLIC KEY BLOCK-----'
got=$("$list" bookworm "$etc")
[ "$got" = "$expected" ] || fail "got:
$got"

# No deb entry for the release: nothing printed, the reason on stderr.
if got=$("$list" trixie "$etc" 2>"$etc/err"); then fail "accepted a release none names"; fi
[ -z "$got" ] || fail "printed $got"
grep -q 'names the release "trixie"' "$etc/err" || fail "said: $(cat "$etc/err")"
echo ok
