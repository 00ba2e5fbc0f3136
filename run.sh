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

echo "No display: headless demo against the simulated instrument." >&2
exec scripts/headless-demo.sh "$bin"
