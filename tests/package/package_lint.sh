#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Debian's and freedesktop's validators on what the build produces: the menu
# entry, the AppStream metadata and the package itself (lintian: no error;
# every other tag is printed).
#   package_lint.sh <folder of the .deb> <desktop entry> <metainfo file>
set -u
deb_dir=${1:?folder of the .deb}
desktop=${2:?desktop entry}
metainfo=${3:?metainfo}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
for tool in desktop-file-validate appstreamcli lintian; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/deps.sh installs it)" >&2; exit 77; }
done
deb=$(ls "$deb_dir"/velmora_*_amd64.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "FAIL: no package in $deb_dir" >&2; exit 1; }
echo "package: $deb ($(stat -c %s "$deb") bytes)"

out=$(desktop-file-validate "$desktop" 2>&1)
if [ $? -eq 0 ] && [ -z "$out" ]; then pass "desktop-file-validate: no remark"; else fail "desktop-file-validate: $out"; fi

out=$(appstreamcli validate --no-net --explain "$metainfo" 2>&1)
rc=$?
echo "$out"
[ $rc -eq 0 ] && pass "appstreamcli validate --no-net" || fail "appstreamcli validate --no-net (exit $rc)"

# The same files as the package holds them.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
cmp -s "$desktop" "$unpacked/usr/share/applications/com.brindlewick.Velmora.desktop" \
  && cmp -s "$metainfo" "$unpacked/usr/share/metainfo/com.brindlewick.Velmora.metainfo.xml" \
  && pass "the package holds the validated files" || fail "the package's menu entry or metadata differ from the validated ones"
for page in velmora velmora-wql velmora-lang; do
  f="$unpacked/usr/share/man/man1/$page.1.gz"
  [ -f "$f" ] || { fail "no manual page $page(1)"; continue; }
  # groff's own complaints about the roff scdoc wrote.
  warnings=$(zcat "$f" | LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l - 2>&1 >/dev/null)
  [ -z "$warnings" ] && pass "manual page $page(1) formats cleanly" || fail "$page(1): $warnings"
done

# libcurl is opened at run time, so no ELF file tells dpkg-shlibdeps about it:
# the package must name it itself.
depends=$(dpkg-deb -f "$deb" Depends)
echo "$depends" | grep -Eq '(^|, )libcurl4 \(>= 7\.85\.0\)(,|$)' \
  && pass "depends on libcurl4, which the programs open at run time" || fail "no libcurl4 in Depends: $depends"

# Lintian as root says so on stderr; that line is not a finding.
tags=$(lintian --pedantic --display-info "$deb" 2>&1 | grep -v '^running with root privileges')
echo "lintian:"
echo "${tags:-  (no tags)}" | sed 's/^/  /'
if echo "$tags" | grep -q '^E: '; then fail "lintian reports errors"; else pass "lintian: no error"; fi
# No warning is accepted either: none is left today.
if echo "$tags" | grep -q '^W: '; then fail "lintian reports warnings"; else pass "lintian: no warning"; fi

[ $failures -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "all checks passed"
