#!/usr/bin/env bash
# Builds and runs the list-repair benchmark in the given build folder (default: build).
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$here/build}"
cmake -S "$here" -B "$build" -DKAVETTO_BENCH=ON >/dev/null
cmake --build "$build" -j1 --target repair_bench >/dev/null
QT_QPA_PLATFORM=offscreen "$build/bench/repair/repair_bench"
