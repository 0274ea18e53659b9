#!/usr/bin/env bash
# Visualizer benchmarks: one panel frame per bar type against a plain fill, then the whole
# program's CPU playing with the panel animating, with it idle, and stopped (60 s each).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build}"
cmake --build "$build" --target bench_panel bench_bare_panel kavetto >/dev/null
"$build/bench/display/bench_panel"
python3 "$here/cpu.py" "$build/bin/kavetto" "${2:-60}"
