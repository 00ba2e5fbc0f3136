#!/usr/bin/env bash
# Takes the README's picture of the main window: a real X server (Xvfb), the simulated instrument's demo
# archive read through the progress dialog, and the graph window built from it.
# Usage: scripts/readme-screenshot.sh [MAIN.png [GRAPH.png]]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/main-window.png}
graph=${2:-docs/graph-window.png}
scripts/install-deps.sh
scripts/build.sh dev velda9-readme-shot velda9-sim >/dev/null
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1400x900x24" build/dev/bin/velda9-readme-shot "$out" "$graph"
echo "wrote $out and $graph" >&2
