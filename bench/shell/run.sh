#!/usr/bin/env bash
# Main-window benchmarks: memory with 100,000 rows and event-loop stalls while adding files and
# filling the folder view with FLAC files. A second argument "--flac" runs only the FLAC fill.
set -euo pipefail
build="${1:-$(cd "$(dirname "$0")/../.." && pwd)/build}"
cmake --build "$build" --target bench_window >/dev/null
"$build/bench/shell/bench_window" "${@:2}"
