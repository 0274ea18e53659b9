#!/usr/bin/env bash
# Builds and runs every benchmark; each prints its ratio against its reference.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
KAVETTO_BENCH=ON "$here/scripts/setup.sh"
python3 "$here/bench/startup/run.py" "$here/build"
for script in "$here"/bench/*/run.sh; do
  [ -x "$script" ] && "$script" "$here/build"
done
