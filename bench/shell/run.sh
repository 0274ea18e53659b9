#!/usr/bin/env bash
# Main-window benchmarks: memory with 100,000 rows and event-loop stalls while adding files.
set -euo pipefail
build="${1:-$(cd "$(dirname "$0")/../.." && pwd)/build}"
cmake --build "$build" --target bench_window >/dev/null
"$build/bench/shell/bench_window"
