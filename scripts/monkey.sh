#!/usr/bin/env bash
# The window monkey's long run: builds WindowMonkey with ASan + UBSan (the monkey preset) and drives each
# window with EVENTS random events from SEED on an Xvfb display, one process per window. Exits non-zero on
# any crash, sanitizer report or hang; each window's log is left in build/monkey/monkey-WINDOW.log.
# Usage: scripts/monkey.sh [EVENTS] [SEED] [WINDOW...]   (default 100000 events, seed 1, every window)
set -euo pipefail
cd "$(dirname "$0")/.."
events=${1:-100000}
seed=${2:-1}
shift 2 || shift $# || true
windows=("$@")
if [ ${#windows[@]} -eq 0 ]; then
    windows=(main progress graph screenshot report stats)
fi
scripts/install-deps.sh
command -v xvfb-run >/dev/null || { echo "monkey: xvfb-run is missing (package xvfb)" >&2; exit 2; }
scripts/build.sh monkey WindowMonkey velda9-sim >&2

export VELDA9_BIN_DIR=$PWD/build/monkey/bin LC_ALL=C.UTF-8
export LSAN_OPTIONS=suppressions=$PWD/tests/gui/monkey/lsan.supp
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
status=0
for window in "${windows[@]}"; do
    log=build/monkey/monkey-$window.log
    start=$(date +%s)
    if xvfb-run -a -s "-screen 0 1600x1200x24" build/monkey/bin/WindowMonkey --window "$window" \
            --events "$events" --seed "$seed" --watchdog 300 >"$log" 2>&1; then
        echo "$window: clean, $(grep -o 'done, .*' "$log" | head -n 1) ($(( $(date +%s) - start )) s in all)" >&2
    else
        echo "!! $window: finding; last lines of $log:" >&2
        tail -n 40 "$log" >&2
        status=1
    fi
done
exit $status
