#!/usr/bin/env bash
# The batch of 1,000 small documents through tavrin-cli batch: once with the
# command's own 50 ms pause per file and once without it, the time per file
# beyond the pause, and the peak memory.
set -euo pipefail
cd "$(dirname "$0")/.."
count=${COUNT:-1000}
build=${TAVRIN_BENCH_DIR:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRIN_TESTS=OFF -DTAVRIN_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target tavrin-cli make_documents >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_documents" "$work" "$count"

run() {  # pause in ms
  local start end
  start=$(date +%s.%N)
  /usr/bin/time -f '%M' -o "$work/.rss" "$build/app/tavrin-cli" batch --yes --wait "$1" \
    --set summary:author=benchmark --set docsummary:company=Initech "$work"/*.doc >/dev/null
  end=$(date +%s.%N)
  awk -v n="$count" -v s="$start" -v e="$end" -v p="$1" -v rss="$(tail -n 1 "$work/.rss")" 'BEGIN {
    t = e - s
    printf "pause %3d ms: %d files in %.2f s, %.2f ms per file beyond the pause, peak RSS %d KiB\n",
           p, n, t, (t / n - p / 1000) * 1000, rss
  }'
}
run 50
run 0
