#!/usr/bin/env bash
# Files per second and peak memory of `tavrin-cli show` over the real
# documents (copies, since showing opens a document for writing), each file
# listed ROUNDS times in one run so that start-up counts for little (it is
# not left out). JOBS=N passes --jobs N (one file at a time: JOBS=1).
set -euo pipefail
cd "$(dirname "$0")/.."
corpus=${TAVRIN_CORPUS:-../shared/corpus}
rounds=${ROUNDS:-20}
jobs=()
if [[ -n ${JOBS:-} ]]; then jobs=(--jobs "$JOBS"); fi
build=${TAVRIN_BENCH_DIR:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRIN_TESTS=OFF -DTAVRIN_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target tavrin-cli >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
find "$corpus" -maxdepth 1 -type f ! -name '*.md' ! -name '*.json' ! -name '*.tsv' -exec cp {} "$work"/ \;
chmod u+w "$work"/*
files=("$work"/*)
list=()
for ((i = 0; i < rounds; i++)); do list+=("${files[@]}"); done

"$build/app/tavrin-cli" show "${jobs[@]}" "${list[@]}" >/dev/null || true  # warm the cache
start=$(date +%s.%N)
/usr/bin/time -f '%M' -o "$work/.rss" "$build/app/tavrin-cli" show "${jobs[@]}" "${list[@]}" >/dev/null || true
end=$(date +%s.%N)
count=${#list[@]}
awk -v n="$count" -v s="$start" -v e="$end" -v rss="$(tail -n 1 "$work/.rss")" 'BEGIN {
  t = e - s
  printf "%d shows in %.3f s: %.0f files/s, %.1f us per file, peak RSS %d KiB\n", n, t, n / t, t / n * 1e6, rss
}'
