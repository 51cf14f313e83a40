#!/usr/bin/env bash
# tavrin-cli batch --wait 0 over 1,000 copies of the real documents
# (/work/shared/corpus, or CORPUS): files per second and the time per file
# beyond the pause, plain, with --keep-times and with --backup; then the
# same plain run with standard error into a pipe, into /dev/null and on a
# terminal (script -qc), where alone the progress line is drawn.
# PAUSE=50 also runs the window's own pause.
set -euo pipefail
cd "$(dirname "$0")/.."
count=${COUNT:-1000}
corpus=${CORPUS:-/work/shared/corpus}
build=${TAVRIN_BENCH_DIR:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRIN_TESTS=OFF -DTAVRIN_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target tavrin-cli >/dev/null
cli=$(realpath "$build/app/tavrin-cli")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mapfile -t originals < <(find "$corpus" -maxdepth 1 -type f \( -name '*.doc' -o -name '*.xls' -o -name '*.ppt' \) | sort)
[ "${#originals[@]}" -gt 0 ] || { echo "no documents in $corpus" >&2; exit 1; }
for ((i = 0; i < count; i++)); do
  original=${originals[i % ${#originals[@]}]}
  cp "$original" "$work/$(printf %04d "$i")-${original##*/}"
done
chmod u+w "$work"/*
# Each run writes another value, so that every file changes every time.
runs=0
files() { find "$work" -maxdepth 1 -type f \( -name '*.doc' -o -name '*.xls' -o -name '*.ppt' \) -print0 | sort -z; }

measure() {  # label, pause in ms, where stderr goes (pipe, null, terminal), options...
  local label=$1 pause=$2 errors=$3 start end status
  shift 3
  runs=$((runs + 1))
  local command=("$cli" batch --yes --wait "$pause" --files-from - --null
                 --set "summary:author=benchmark $runs" --set "docsummary:company=Initech $runs" "$@")
  start=$(date +%s.%N)
  # A corpus document this program refuses fails its file and the run.
  set +e
  case $errors in
    pipe) files | "${command[@]}" 2>&1 >/dev/null | cat >/dev/null; status=${PIPESTATUS[1]} ;;
    null) files | "${command[@]}" >/dev/null 2>/dev/null; status=${PIPESTATUS[1]} ;;
    terminal)
      files > "$work/.names"
      script -qec "$(printf '%q ' "${command[@]}") < $work/.names > /dev/null" /dev/null >/dev/null
      status=$? ;;
  esac
  set -e
  end=$(date +%s.%N)
  awk -v n="$count" -v s="$start" -v e="$end" -v p="$pause" -v l="$label" -v st="$status" 'BEGIN {
    t = e - s
    printf "%-34s %d files in %6.2f s: %7.1f files/s, %6.3f ms per file beyond the pause (status %d)\n",
           l, n, t, n / t, (t / n - p / 1000) * 1000, st
  }'
}

measure "plain, stderr to /dev/null" 0 null
measure "--keep-times" 0 null --keep-times
measure "--backup" 0 null --backup=".b$runs"
measure "--keep-times --backup" 0 null --keep-times --backup=".k$runs"
measure "plain, stderr to a pipe" 0 pipe
measure "plain, stderr to /dev/null again" 0 null
if command -v script >/dev/null; then measure "plain, stderr on a terminal" 0 terminal; fi
if [ -n "${PAUSE:-}" ]; then measure "plain, pause ${PAUSE} ms" "$PAUSE" null; fi
