#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test; then fuzzes each fuzz
# target for a few seconds (TAVRIN_FUZZ_SECONDS, 15 by default).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build=${TAVRIN_BUILD_DIR:-build/asan}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVRIN_SANITIZE=ON
cmake --build "$build"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

# Each fuzz target also runs briefly from its seeds under libFuzzer, which
# needs clang and a build of its own; the long run is fuzz/run.sh
# (docs/fuzzing.md).
fuzz_build=${TAVRIN_FUZZ_BUILD_DIR:-build/fuzz-run}
CC=clang CXX=clang++ cmake -S . -B "$fuzz_build" -G Ninja -DTAVRIN_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="-O1 -g" -DTAVRIN_FUZZ_SECONDS="${TAVRIN_FUZZ_SECONDS:-15}"
cmake --build "$fuzz_build" --target fuzz_compound_file fuzz_property_set fuzz_profile \
  fuzz_defaults_file fuzz_date_time fuzz_edit_mask fuzz_xml_splice fuzz_zip_archive
ctest --test-dir "$fuzz_build" -L fuzz-run --output-on-failure -j "$(nproc)"
