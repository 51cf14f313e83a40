#!/usr/bin/env bash
# Fuzzes each target (all, or those named) for a while under libFuzzer, one
# after another, in one process at a time. Needs a build configured with
# TAVRIN_FUZZ (see docs/fuzzing.md).
#
#   fuzz/run.sh [-b BUILD_DIR] [-t SECONDS_PER_TARGET] [TARGET...]
#
# New inputs go to BUILD_DIR/fuzz/runs/TARGET/corpus, failures to
# BUILD_DIR/fuzz/runs/TARGET/artifacts (crash-*, leak-*, timeout-*, oom-*),
# and the log to BUILD_DIR/fuzz/runs/TARGET/log. The seed corpus is read,
# never written. A failure does not end the run: it goes on fuzzing, so one
# fault cannot hide the next; the exit status says whether any target failed.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/fuzz
seconds=600
while getopts "b:t:" option; do
  case $option in
    b) build=$OPTARG ;;
    t) seconds=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(compound_file property_set profile defaults_file date_time edit_mask xml_splice zip_archive)
fi

failed=0
for target in "${targets[@]}"; do
  program=$build/fuzz/fuzz_$target
  if [[ ! -x $program ]]; then
    echo "fuzz: $program is missing; build it with TAVRIN_FUZZ=ON (docs/fuzzing.md)" >&2
    exit 2
  fi
  work=$build/fuzz/runs/$target
  mkdir -p "$work/corpus" "$work/artifacts"
  inputs=("$work/corpus" "fuzz/corpus/$target")
  if [[ -d fuzz/regressions/$target ]]; then inputs+=("fuzz/regressions/$target"); fi
  echo "fuzz: $target for $seconds s, log in $work/log"
  # -fork=1 runs the fuzzing in one child process and starts it again after a
  # failure; -ignore_* keep going after each one, whose input is still kept.
  "$program" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$work/artifacts/" \
    "${inputs[@]}" >"$work/log" 2>&1 || true
  grep -E '^#[0-9]+: cov' "$work/log" | tail -1 || true
  found=$(find "$work/artifacts" -type f | wc -l)
  if ((found > 0)); then
    echo "fuzz: $target kept $found failing input(s) in $work/artifacts"
    failed=1
  fi
done
exit $failed
