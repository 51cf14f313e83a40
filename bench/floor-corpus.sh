#!/usr/bin/env bash
# The floor under bench/show-corpus.sh: opening each real document, reading
# four sectors and closing it, ROUNDS times, warm. Compare the two per-file
# figures rather than absolute times between machines.
set -euo pipefail
cd "$(dirname "$0")/.."
corpus=${TAVRIN_CORPUS:-../shared/corpus}
rounds=${ROUNDS:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cc -O2 -o "$work/floor" bench/floor.c
files=()
while IFS= read -r -d '' file; do files+=("$file"); done < <(
  find "$corpus" -maxdepth 1 -type f ! -name '*.md' ! -name '*.json' ! -name '*.tsv' -print0)
"$work/floor" 1 "${files[@]}" >/dev/null  # warm the cache
"$work/floor" "$rounds" "${files[@]}"
