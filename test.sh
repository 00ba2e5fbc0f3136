#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the formatting check, the full build with warnings
# as errors and all its tests, the .deb package test (installs and removes the package when run as root),
# the core tests under AddressSanitizer + UndefinedBehaviorSanitizer, the exchange tests under
# ThreadSanitizer and a short run of every fuzz target (VELDA_FUZZ_SECONDS each, default 30; 0 skips it).
# VELDA_QUICK=1 skips the sanitizer builds and the fuzzing.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh

echo "== formatting" >&2
git ls-files -z '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run --Werror

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"

echo "== dev build and all tests" >&2
scripts/build.sh dev
ctest --preset dev

echo "== package: build, inspect, install, run the installed program, remove" >&2
tests/packaging/run-packaging-test.sh build/dev

if [ "${VELDA_QUICK:-0}" != "1" ]; then
    echo "== core tests under AddressSanitizer + UndefinedBehaviorSanitizer" >&2
    scripts/build.sh asan-ubsan
    ctest --preset asan-ubsan
    echo "== exchange tests under ThreadSanitizer" >&2
    scripts/build.sh tsan
    ctest --preset tsan
    fuzz_seconds=${VELDA_FUZZ_SECONDS:-30}
    if [ "$fuzz_seconds" != "0" ]; then
        echo "== every fuzz target for ${fuzz_seconds} s" >&2
        scripts/fuzz.sh "$fuzz_seconds"
    fi
fi
