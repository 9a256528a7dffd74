#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs every fuzz target of a fuzzing build for a long while (ten minutes
# each by default), one after the other, on its seed corpus plus what earlier
# long runs found. ./test runs the same targets for a few seconds only.
#
#   scripts/fuzz_long.sh [build folder] [seconds per target] [name pattern]
#   (the build folder defaults to build-asan, configured by ./test with
#   -DVELMORA_FUZZ=ON; the pattern, an extended regular expression, picks
#   targets by name, so that two runs can share the cores between them)
#
# Each target's crashes, leaks and timeouts land in <build>/fuzz-long/<target>/
# as crash-*, leak-*, timeout-* files: once fixed, copy them into the target's
# seed corpus (tests/<module>/corpus*) so that ./test keeps them as regression
# cases. A summary line per target is added to <build>/fuzz-long/summary.txt.
set -u
BUILD=$(cd "${1:-build-asan}" && pwd) || exit 2
SECONDS_EACH=${2:-600}
PATTERN=${3:-.}
OUT="$BUILD/fuzz-long"
mkdir -p "$OUT"
status=0

# "Test command:" lines of the fuzz tests: the program, its options, the
# scratch corpus and the seed corpus, each in double quotes.
mapfile -t COMMANDS < <(cd "$BUILD" && ctest -N -V -L fuzz 2>/dev/null | grep -F 'Test command:' | grep -F '/fuzz_')
[ ${#COMMANDS[@]} -gt 0 ] || { echo "no fuzz targets in $BUILD (configure with -DVELMORA_FUZZ=ON)" >&2; exit 2; }

for line in "${COMMANDS[@]}"; do
  mapfile -t args < <(echo "$line" | grep -o '"[^"]*"' | tr -d '"')
  exe= seed=
  for a in "${args[@]}"; do
    case "$a" in
      */fuzz_*) [ -x "$a" ] && [ -f "$a" ] && exe=$a ;;
    esac
  done
  seed=${args[${#args[@]}-1]}
  [ -n "$exe" ] || continue
  name=$(basename "$exe")
  echo "$name" | grep -Eq -- "$PATTERN" || continue
  dir="$OUT/$name"
  mkdir -p "$dir/corpus"
  echo "== $name: $SECONDS_EACH s on $seed"
  (cd "$dir" && ASAN_OPTIONS=detect_leaks=1 "$exe" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=512 \
    -malloc_limit_mb=64 -print_final_stats=1 -artifact_prefix="$dir/" corpus "$seed" >"$dir/log.txt" 2>&1)
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log.txt" | tail -1)
  findings=$(find "$dir" -maxdepth 1 \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
  summary="$name: exit $rc, ${runs:-?} runs, corpus $(find "$dir/corpus" -type f | wc -l) files, $findings finding(s)"
  echo "$summary" | tee -a "$OUT/summary.txt"
  [ "$rc" = 0 ] && [ "$findings" = 0 ] || { status=1; tail -30 "$dir/log.txt"; }
done
exit $status
