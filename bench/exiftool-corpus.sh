#!/usr/bin/env bash
# ExifTool reading the same real documents as bench/show-corpus.sh, for
# comparison. Its start-up (the Perl interpreter and its modules, a tenth of
# a second or more) is left out: a run over the files once and a run over
# them five times are timed, the best of TRIES (3) each, and the difference
# is divided by the four extra rounds. EXIFTOOL_ARGS passes options (such
# as -fast, which stops reading a file once its metadata is found). Needs
# exiftool (Debian: libimage-exiftool-perl); not installed by
# scripts/setup.sh, since nothing else here uses it.
set -euo pipefail
cd "$(dirname "$0")/.."
corpus=${TAVRIN_CORPUS:-../shared/corpus}
if ! command -v exiftool >/dev/null; then
  echo "exiftool is not installed (apt-get install libimage-exiftool-perl)" >&2
  exit 2
fi
files=()
while IFS= read -r -d '' file; do files+=("$file"); done < <(
  find "$corpus" -maxdepth 1 -type f ! -name '*.md' ! -name '*.json' ! -name '*.tsv' -print0)
five=()
for ((i = 0; i < 5; i++)); do five+=("${files[@]}"); done

exiftool -q "${files[@]}" >/dev/null 2>&1 || true  # warm the cache
# The best of TRIES runs, in nanoseconds.
elapsed() {
  local start end best=
  for ((try = 0; try < ${TRIES:-3}; try++)); do
    start=$(date +%s%N)
    exiftool -q ${EXIFTOOL_ARGS:-} "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    if [[ -z $best ]] || ((end - start < best)); then best=$((end - start)); fi
  done
  echo "$best"
}
once=$(elapsed "${files[@]}")
fivefold=$(elapsed "${five[@]}")
awk -v n="${#files[@]}" -v a="$once" -v b="$fivefold" -v v="$(exiftool -ver)" 'BEGIN {
  printf "ExifTool %s: %.0f us per file (%d files, start-up left out)\n", v, (b - a) / 4 / n / 1000, n
}'
