#!/usr/bin/env bash
# Runs the program against the simulated instrument: the main window when a display is there, otherwise
# a headless demo that downloads the simulated archive and prints it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh dev
bin=build/dev/bin
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$bin/velda9" ] && [ "${1:-}" != "--headless" ]; then
    exec "$bin/velda9" --simulate
fi

out=$(mktemp -d)/demo.vd
echo "No display: headless demo against the simulated instrument." >&2
"$bin/velda9-cli" read --simulate -o "$out"
# sed reads to the end, so the writers of the pipe never see a closed pipe (pipefail would report it).
"$bin/velda9-cli" dump "$out" | column -t -s $'\t' | sed -n 1,25p
echo "... $(($("$bin/velda9-cli" dump "$out" | wc -l) - 1)) records in $out" >&2
