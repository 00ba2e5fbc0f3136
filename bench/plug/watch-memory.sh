#!/usr/bin/env bash
# Resident memory of `velda9-cli watch` over many arrivals of the simulated instrument: RSS after 10 and
# after ARRIVALS downloads (default 200) and their ratio, which should stay within 1.05 (no growth per
# download). Every download goes into a history file of its own and is saved with its summary.
#   usage: bench/plug/watch-memory.sh [BUILD_DIR] [ARRIVALS]
set -euo pipefail
build=$(cd "${1:-build/dev}" && pwd)
arrivals=${2:-200}
work=$(mktemp -d)
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

cat >"$work/scenario.json" <<JSON
{"firmware_date": "13.03.2018", "generate": {"records": 16, "format": 2, "seed": 7},
 "presence": {"arrive_after_scans": 1, "leave_after_scans": 3, "stays": $arrivals}}
JSON
mkdir "$work/out"
VELDA9_SIM_SCENARIO="$work/scenario.json" VELDA9_SCAN_INTERVAL_MS=5 XDG_CONFIG_HOME="$work" \
    XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=offscreen DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent \
    "$build/bin/velda9-cli" watch --simulate --lang en --history "$work/history.sqlite" --save-to "$work/out" \
    --summary --limit temperature=:20 >"$work/log" 2>"$work/err" &
pid=$!

rss() { awk '/^VmRSS:/ {print $2}' "/proc/$pid/status"; }
downloads() { grep -c 'Downloaded ' "$work/log" || true; }
wait_for() {
    while [ "$(downloads)" -lt "$1" ]; do
        kill -0 "$pid" 2>/dev/null || { cat "$work/err" >&2; echo "watch ended early" >&2; exit 1; }
        sleep 0.05
    done
}
start=$(date +%s.%N)
wait_for 10
rss10=$(rss)
wait_for "$arrivals"
rss_last=$(rss)
end=$(date +%s.%N)
kill -TERM "$pid"
wait "$pid" && status=0 || status=$?
pid=
awk -v d="$(downloads)" -v s="$start" -v e="$end" -v x="$status" \
    'BEGIN { printf "downloads=%d seconds=%.1f exit_status=%d\n", d, e - s, x }'
echo "rss_after_10_kb=$rss10"
echo "rss_after_${arrivals}_kb=$rss_last"
awk -v a="$rss10" -v b="$rss_last" 'BEGIN { printf "watch_rss_ratio=%.3f\n", b / a }'
