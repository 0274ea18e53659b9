#!/usr/bin/env bash
# Builds the engine alone and runs its benchmarks (not part of the test suite).
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
cmake -S "$here" -B "$here/build-bench-engine" -DCMAKE_BUILD_TYPE=Release -DKAVETTO_ENGINE_ONLY=ON \
  -DKAVETTO_TESTS=OFF -DKAVETTO_BENCH=OFF >/dev/null
# The engine-only build skips bench/, so build the benchmark from here.
cmake --build "$here/build-bench-engine" -j1 --target kv_engine >/dev/null
g++ -O2 -std=c++20 -I"$here/src" -I"$here/tests" "$here/bench/engine/engine_bench.cpp" \
  "$here/tests/support/audio_files.cpp" "$here/build-bench-engine/src/engine/libkv_engine.a" \
  $(pkg-config --cflags --libs libmpg123 sndfile lame taglib sdl2) -lpthread -o "$here/build-bench-engine/engine_bench"
SDL_AUDIODRIVER=dummy "$here/build-bench-engine/engine_bench" "$@"
