#!/usr/bin/env bash
# Builds the benchmarks optimised and runs them; extra arguments go to each
# benchmark program (for example --benchmark_filter=Write).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build=${TAVRIN_BENCH_DIR:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRIN_TESTS=OFF -DTAVRIN_BENCHMARKS=ON >/dev/null
cmake --build "$build" >/dev/null
for program in "$build"/bench/*_bench; do
  "$program" "$@"
done
