#!/bin/sh
# SPDX-License-Identifier: MIT
# Every program's --help: exit status 0, the text on standard output naming
# every option the program accepts, nothing on standard error even where the
# session has no runtime folder and no display.
# usage: tool_help.sh VELMORA VELMORA_WQL VELMORA_LANG VELMORA_SCAN
set -u
velmora=$1 wql=$2 lang=$3 scan=$4
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
failures=0

# program|options its help must name
cases="$velmora|--help --version --host
$wql|--help --properties --host --user --namespace
$lang|--help update source pack --block --check --date
$scan|--help --top --files --json --apparent-size --jobs --background"

IFS='
'
for case in $cases; do
    program=${case%%|*}
    options=${case#*|}
    name=$(basename "$program")
    for flag in --help -h; do
        env -u XDG_RUNTIME_DIR -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
            "$program" "$flag" >"$work/out" 2>"$work/err"
        status=$?
        if [ "$status" -ne 0 ]; then
            echo "FAIL: $name $flag exits with $status"
            failures=$((failures + 1))
        fi
        if [ -s "$work/err" ]; then
            echo "FAIL: $name $flag writes to standard error:"
            cat "$work/err"
            failures=$((failures + 1))
        fi
        IFS=' '
        for option in $options; do
            if ! grep -q -e "$option" "$work/out"; then
                echo "FAIL: $name $flag does not name $option"
                failures=$((failures + 1))
            fi
        done
        IFS='
'
    done
done
[ "$failures" -eq 0 ] && echo "every program's help is complete"
exit $((failures != 0))
