#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks that every C and C++ source that git tracks is laid out as
# .clang-format says. Prints the difference clang-format would make, file by
# file, and exits 1 when there is any; 0 when every file is as it should be.
#
#   bash scripts/check-format.sh          (from anywhere)
#   bash scripts/check-format.sh --fix    rewrites the files instead
#   bash scripts/check-format.sh FILE...  checks only these files
# Environment: CLANG_FORMAT (default clang-format, Debian's clang-format package).
set -uo pipefail
cd "$(dirname "$0")/.."
clang_format=${CLANG_FORMAT:-clang-format}
command -v "$clang_format" >/dev/null || { echo "check-format: $clang_format is not installed (apt-get install clang-format)" >&2; exit 2; }
[ -f .clang-format ] || { echo "check-format: no .clang-format at $PWD" >&2; exit 2; }

fix=no
if [ "${1:-}" = --fix ]; then
  fix=yes
  shift
fi
if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files -- '*.c' '*.cpp' '*.h' '*.hpp')
fi

if [ $fix = yes ]; then
  printf '%s\0' "${files[@]}" | xargs -0 -r "$clang_format" -i --style=file
  exit $?
fi

differ=0
formatted=$(mktemp)
trap 'rm -f "$formatted"' EXIT
for f in "${files[@]}"; do
  "$clang_format" --style=file --assume-filename="$f" <"$f" >"$formatted" ||
    { echo "check-format: $clang_format failed on $f" >&2; exit 2; }
  diff -u --label "a/$f" --label "b/$f" "$f" "$formatted" || differ=$((differ + 1))
done
if [ $differ -ne 0 ]; then
  echo "check-format: $differ of ${#files[@]} files differ from .clang-format (bash scripts/check-format.sh --fix rewrites them)" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files as .clang-format says"
