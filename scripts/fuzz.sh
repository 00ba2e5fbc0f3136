#!/usr/bin/env bash
# Builds the fuzz programs (fuzz preset: clang-16, libFuzzer, ASan + UBSan) and runs every target for
# SECONDS (default 60) on a copy of its checked-in seed corpus. Exits non-zero when any target finds a
# crash, a failed property, a leak, a timeout or an out-of-memory; the input that did it is left in
# build/fuzz/findings/TARGET/. Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
scripts/install-deps.sh --fuzz

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(project_load table_fill protocol_reply sim_scenario)
fi
scripts/build.sh fuzz "${targets[@]/#/fuzz-}" >&2
# The project target writes a file per input; a memory file system spares the disk.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

status=0
for target in "${targets[@]}"; do
    work=build/fuzz/corpus/$target
    findings=build/fuzz/findings/$target
    mkdir -p "$work" "$findings"
    log=build/fuzz/$target.log
    echo "== fuzz $target for ${seconds}s" >&2
    if ! build/fuzz/bin/fuzz-"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$findings/" "$work" "tests/fuzz/corpus/$target" \
            >"$log" 2>&1; then
        echo "!! $target: finding, input in $findings/; last lines of $log:" >&2
        tail -n 40 "$log" >&2
        status=1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 || true)
    echo "$target: ${runs:-?} executions, ${speed:-?} exec/s, ${cov:-cov: ?} edges" >&2
done
exit $status
