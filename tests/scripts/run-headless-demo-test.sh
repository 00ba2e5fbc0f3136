#!/usr/bin/env bash
# The headless demo on a minimal machine: only the tools of Debian's essential and required packages are
# on PATH (no `column`, which comes with the optional bsdextrautils). The demo must succeed and print an
# aligned table. Usage: run-headless-demo-test.sh SOURCE_DIR BIN_DIR
set -euo pipefail
source=${1:?usage: run-headless-demo-test.sh SOURCE_DIR BIN_DIR}
bin=${2:?usage: run-headless-demo-test.sh SOURCE_DIR BIN_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/path" "$work/runtime"
chmod 700 "$work/runtime"
# bash, coreutils, sed and mawk: what every Debian 12 system has.
for tool in bash env mktemp dirname cat head tail wc rm sed; do
    ln -s "$(command -v "$tool")" "$work/path/$tool"
done
ln -s "$(readlink -f "$(command -v awk)")" "$work/path/awk"
if PATH="$work/path" command -v column >/dev/null; then
    echo "FAIL: column is on the reduced PATH" >&2
    exit 1
fi

status=0
env -i PATH="$work/path" HOME="$work" XDG_RUNTIME_DIR="$work/runtime" LC_ALL=C.UTF-8 \
    bash "$source/scripts/headless-demo.sh" "$bin" 6 >"$work/out" 2>"$work/err" || status=$?
if [ "$status" -ne 0 ]; then
    cat "$work/err" >&2
    echo "FAIL: the headless demo exited with $status" >&2
    exit 1
fi
cat "$work/out"
lines=$(wc -l <"$work/out")
[ "$lines" -eq 6 ] || { echo "FAIL: $lines table lines instead of 6" >&2; exit 1; }
grep -q '^\.\.\. [0-9][0-9]* records in ' "$work/err" || { echo "FAIL: no record count" >&2; exit 1; }
# Aligned: the time column starts at the same character (not byte) position in the header and in every
# row, although the header row holds Cyrillic text.
LC_ALL=C awk '
    function column(prefix, rest) {
        rest = prefix
        return length(prefix) - gsub(/[\200-\277]/, "", rest)
    }
    NR == 1 {
        if (!(at = index($0, "Время"))) { print "FAIL: no time header"; exit 1 }
        at = column(substr($0, 1, at - 1))
        next
    }
    {
        if (!match($0, /[0-9][0-9]:[0-9][0-9]:[0-9][0-9]/)) { print "FAIL: no time in row " NR; exit 1 }
        if (column(substr($0, 1, RSTART - 1)) != at) { print "FAIL: row " NR " is not aligned"; exit 1 }
    }' "$work/out" >&2
echo "headless demo on minimal tools: passed" >&2
