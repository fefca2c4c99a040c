#!/usr/bin/env bash
# Prints, in deb822 form, a source list of `deb-src` entries made from the
# `deb` entries of the system's configured APT sources that name RELEASE:
# the one-line lists (sources.list, sources.list.d/*.list) and the deb822
# ones (sources.list.d/*.sources). Each entry keeps its archive, components
# and options (Signed-By, Architectures, ...); its other suites are left out.
# Nothing in the repository names an archive: where no configured entry
# names RELEASE, it says what to configure and exits with 1.
#   scripts/deb-src-list.sh RELEASE [APT_ETC]   (APT_ETC: /etc/apt by default)
set -euo pipefail
release=${1:?usage: deb-src-list.sh RELEASE [APT_ETC]}
etc=${2:-/etc/apt}

shopt -s nullglob
one_line=("$etc/sources.list" "$etc"/sources.list.d/*.list)
deb822=("$etc"/sources.list.d/*.sources)

# One-line entries: deb [ options ] URI SUITE COMPONENT...
from_one_line() {
  local file
  for file in "${one_line[@]}"; do
    [ -f "$file" ] || continue
    awk -v release="$release" '
      { sub(/#.*/, "") }
      $1 != "deb" { next }
      {
        line = $0; options = ""
        sub(/^[[:space:]]*deb[[:space:]]+/, "", line)
        if (substr(line, 1, 1) == "[") {
          end = index(line, "]")
          if (end == 0) next
          options = substr(line, 2, end - 2)
          line = substr(line, end + 1)
        }
        n = split(line, word, /[[:space:]]+/)
        first = (word[1] == "") ? 2 : 1
        if (word[first + 1] != release || n < first + 2) next
        components = word[first + 2]
        for (i = first + 3; i <= n; i++) if (word[i] != "") components = components " " word[i]
        print "Types: deb-src"
        print "URIs: " word[first]
        print "Suites: " release
        print "Components: " components
        k = split(options, option, /[[:space:]]+/)
        for (i = 1; i <= k; i++) {
          eq = index(option[i], "=")
          if (eq == 0) continue
          key = tolower(substr(option[i], 1, eq - 1)); value = substr(option[i], eq + 1)
          gsub(/,/, " ", value)
          if (key == "arch") key = "architectures"
          else if (key == "lang") key = "languages"
          else if (key == "target") key = "targets"
          m = split(key, part, "-"); key = ""
          for (j = 1; j <= m; j++) key = key (j > 1 ? "-" : "") toupper(substr(part[j], 1, 1)) substr(part[j], 2)
          print key ": " value
        }
        print ""
      }' "$file"
  done
}

# deb822 stanzas: Types holding deb and Suites holding RELEASE, not disabled;
# every other field (continuation lines too) is kept as written.
from_deb822() {
  local file
  for file in "${deb822[@]}"; do
    awk -v release="$release" '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " release " ") &&
            tolower(enabled) != "no") {
          print "Types: deb-src"
          print "Suites: " release
          printf "%s", kept
          print ""
        }
        types = ""; suites = ""; enabled = ""; kept = ""; field = ""
      }
      /^[[:space:]]*#/ { next }
      /^[[:space:]]*$/ { flush(); next }
      /^[[:space:]]/ {
        if (field == "types") types = types " " $1
        else if (field == "suites") { line = $0; gsub(/[[:space:]]+/, " ", line); suites = suites line }
        else if (field == "keep") kept = kept $0 "\n"
        next
      }
      {
        colon = index($0, ":")
        name = tolower(substr($0, 1, colon - 1)); value = substr($0, colon + 1)
        gsub(/^[[:space:]]+|[[:space:]]+$/, "", value); gsub(/[[:space:]]+/, " ", value)
        field = "keep"
        if (name == "types") { types = value; field = "types" }
        else if (name == "suites") { suites = value; field = "suites" }
        else if (name == "enabled") { enabled = value; field = "skip" }
        else kept = kept $0 "\n"
      }
      END { flush() }' "$file"
  done
}

list=$(from_one_line; from_deb822)
if [ -z "$list" ]; then
  cat >&2 <<EOF
No APT source configured on this system names the release "$release" with a
'deb' entry, so its source packages cannot be fetched. Add one for the
archive you use, in $etc/sources.list (one line:
  deb [signed-by=KEYRING] ARCHIVE_URI $release main)
or in a file $etc/sources.list.d/NAME.sources (deb822:
  Types: deb / URIs: ARCHIVE_URI / Suites: $release / Components: main /
  Signed-By: KEYRING), then run this again. Nothing is added to the
system's lists: the deb-src entries live in a list private to the build.
EOF
  exit 1
fi
printf '%s\n' "$list"
