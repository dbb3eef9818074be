#!/usr/bin/env bash
# Runs every fuzz harness of a fuzz build.
#   run.sh BUILD SECONDS          fuzz each harness, then fold the inputs that found
#                                 new coverage into its committed corpus (fuzz/corpus)
#   run.sh BUILD SECONDS replay   replay each committed corpus and crash reproducer
#                                 (fuzz/crashes), then fuzz briefly without keeping inputs
# Any crash, sanitizer report, leak or timeout makes the script fail and leaves the
# input that caused it in the scratch folder it names.
set -euo pipefail
build=$1
seconds=$2
mode=${3:-fuzz}
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/hvfuzz-run.XXXXXX")
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

for harness in "$build"/fuzz/fuzz_*; do
  name=$(basename "$harness")
  corpus=$here/corpus/$name
  crashes=$here/crashes/$name
  mkdir -p "$corpus" "$scratch/$name/new" "$scratch/$name/artifacts"
  echo "== $name"
  inputs=()
  for dir in "$corpus" "$crashes"; do
    [ -d "$dir" ] && while IFS= read -r -d '' f; do inputs+=("$f"); done \
      < <(find "$dir" -type f -print0)
  done
  if [ "${#inputs[@]}" -gt 0 ]; then
    "$harness" -runs=1 "${inputs[@]}" >"$scratch/$name/replay.log" 2>&1 ||
      { tail -n 40 "$scratch/$name/replay.log"; echo "replay of $name failed"; exit 1; }
    echo "   replayed ${#inputs[@]} inputs"
  fi
  "$harness" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -max_len=8192 \
    -print_final_stats=1 -artifact_prefix="$scratch/$name/artifacts/" \
    "$scratch/$name/new" "$corpus" >"$scratch/$name/fuzz.log" 2>&1 ||
    { tail -n 40 "$scratch/$name/fuzz.log"; echo "fuzzing $name failed: see $scratch/$name"; exit 1; }
  grep -E "^stat::number_of_executed_units|^#[0-9]+.*DONE" "$scratch/$name/fuzz.log" | sed 's/^/   /'
  if [ "$mode" = fuzz ]; then
    "$harness" -merge=1 "$corpus" "$scratch/$name/new" >"$scratch/$name/merge.log" 2>&1
    echo "   corpus: $(find "$corpus" -type f | wc -l) files"
  fi
done
rm -rf "$scratch"
