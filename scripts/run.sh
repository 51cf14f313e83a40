#!/usr/bin/env bash
# Installs what is missing, builds an optimised program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build=${TAVRIN_BUILD_DIR:-build/release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_TESTS=OFF
cmake --build "$build" --target tavrin
exec "$build/app/tavrin" "$@"
