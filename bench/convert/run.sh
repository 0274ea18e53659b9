#!/usr/bin/env bash
# Conversion window benchmarks: a 10-minute WAVE through the window's run against `lame` with
# the same settings, and how soon the progress window shows 100 % and closes after the engine
# has finished.
set -euo pipefail
build="${1:-$(cd "$(dirname "$0")/../.." && pwd)/build}"
cmake --build "$build" --target bench_convert >/dev/null
"$build/bench/convert/bench_convert"
