#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Processes a campaign: for every recording of a list, calmpick picks its calm windows
# and ratiospec computes its H/V curve, several recordings at a time. Each recording
# (station) is an independent run in a directory of its own under the output folder:
#   OUT/<station>/windows.txt, OUT/<station>/<station>_hv, calmpick.log, ratiospec.log
# where <station> is the recording's file name without its extension.
#
# One line is printed per finished station; the exit status is 0 when every station
# went through, 1 when some failed (they are listed at the end), 2 for a usage error.
set -uo pipefail

usage() {
  cat <<'EOF'
use : run_campaign.sh [-j N] [-b BIN_DIR] list_file calmpick_parameters ratiospec_parameters out_dir
  list_file             one recording path per line (blank lines and lines starting
                        with # are skipped; relative paths are taken from the current
                        directory)
  -j N                  stations processed at once (default: the number of cores)
  -b BIN_DIR            folder holding calmpick and ratiospec (default: build/bin
                        beside this script's folder, else the PATH)
Each ratiospec run gets HV_THREADS = cores / N (at least 1) unless HV_THREADS is set.
EOF
}

cores=$(getconf _NPROCESSORS_ONLN 2>/dev/null || echo 1)
jobs=$cores
bin=""
while getopts ":j:b:h" opt; do
  case $opt in
    j) jobs=$OPTARG ;;
    b) bin=$OPTARG ;;
    h) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
if [ $# -ne 4 ]; then
  usage >&2
  exit 2
fi
if ! [[ $jobs =~ ^[0-9]+$ ]] || [ "$jobs" -lt 1 ]; then
  echo "run_campaign: -j needs a whole number of at least 1, not '$jobs'" >&2
  exit 2
fi

list=$1
pick_par=$2
hv_par=$3
out=$4
for f in "$list" "$pick_par" "$hv_par"; do
  if [ ! -f "$f" ] || [ ! -r "$f" ]; then
    echo "run_campaign: cannot read $f" >&2
    exit 2
  fi
done

if [ -z "$bin" ]; then
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  if [ -x "$here/../build/bin/ratiospec" ]; then
    bin="$here/../build/bin"
  fi
fi
find_program() {
  if [ -n "$bin" ]; then
    [ -x "$bin/$1" ] && { echo "$bin/$1"; return 0; }
    return 1
  fi
  command -v "$1"
}
if ! calmpick=$(find_program calmpick) || ! ratiospec=$(find_program ratiospec); then
  echo "run_campaign: calmpick and ratiospec not found${bin:+ in $bin}" >&2
  exit 2
fi

mkdir -p "$out" || exit 2
out=$(cd "$out" && pwd)
pick_par=$(cd "$(dirname "$pick_par")" && pwd)/$(basename "$pick_par")
hv_par=$(cd "$(dirname "$hv_par")" && pwd)/$(basename "$hv_par")

# The recordings, with absolute paths, and their station names, which must differ.
recordings=()
declare -A seen=()
while IFS= read -r line || [ -n "$line" ]; do
  line=${line%$'\r'}
  [[ -z ${line//[[:space:]]/} || $line == \#* ]] && continue
  [[ $line == /* ]] || line="$PWD/$line"
  name=$(basename "$line")
  name=${name%.*}
  if [ -n "${seen[$name]:-}" ]; then
    echo "run_campaign: two recordings give the station name '$name':" >&2
    echo "  ${seen[$name]}" >&2
    echo "  $line" >&2
    exit 2
  fi
  seen[$name]=$line
  recordings+=("$line")
done <"$list"
total=${#recordings[@]}
if [ "$total" -eq 0 ]; then
  echo "run_campaign: no recording in $list" >&2
  exit 2
fi

if [ -z "${HV_THREADS:-}" ]; then
  HV_THREADS=$((cores / jobs))
  [ "$HV_THREADS" -ge 1 ] || HV_THREADS=1
fi
export HV_THREADS calmpick ratiospec pick_par hv_par out

# shellcheck disable=SC2317  # run by xargs through bash -c
# One station: prints one line "name<TAB>ok|failed<TAB>detail" when it ends. The
# recording is linked into the station's folder under its own name, so that the
# window file holds a short path (calmpick keeps at most 198 characters) and both
# programs find it from there.
process_station() {
  local recording=$1
  local file name dir status windows fo
  file=$(basename "$recording")
  name=${file%.*}
  dir="$out/$name"
  if ! rm -rf "$dir" || ! mkdir -p "$dir"; then
    printf '%s\tfailed\tcannot create %s\n' "$name" "$dir"
    return 0
  fi
  ln -s "$recording" "$dir/$file" 2>/dev/null || cp -- "$recording" "$dir/$file" 2>/dev/null
  printf '%s\n' "$file" >"$dir/list.txt"
  (cd "$dir" && "$calmpick" list.txt "$pick_par" windows.txt) >"$dir/calmpick.log" 2>&1
  status=$?
  if [ "$status" -ne 0 ]; then
    printf '%s\tfailed\tcalmpick exit status %s (see %s)\n' "$name" "$status" "$dir/calmpick.log"
    return 0
  fi
  windows=$(grep -c . "$dir/windows.txt" 2>/dev/null || true)
  if [ "${windows:-0}" -eq 0 ]; then
    printf '%s\tfailed\tno calm window found (see %s)\n' "$name" "$dir/calmpick.log"
    return 0
  fi
  (cd "$dir" && "$ratiospec" windows.txt "$hv_par" "${name}_hv") >"$dir/ratiospec.log" 2>&1
  status=$?
  if [ "$status" -gt 1 ]; then
    printf '%s\tfailed\tratiospec exit status %s (see %s)\n' "$name" "$status" "$dir/ratiospec.log"
    return 0
  fi
  fo=$(grep -m1 'Fo:' "$dir/${name}_hv" | sed 's/.*Fo:/ Fo:/' | tr -s ' ')
  printf '%s\tok\t%s windows, ratiospec exit status %s,%s\n' "$name" "$windows" "$status" "${fo:- no Fo line}"
}
export -f process_station

# Every station through xargs, N at a time; each job's line is shorter than a pipe's
# atomic write, so lines of jobs ending together do not mix.
run_all() {
  # shellcheck disable=SC2016  # $1 is expanded by the inner shell
  printf '%s\0' "${recordings[@]}" |
    xargs -0 -n 1 -P "$jobs" bash -c 'process_station "$1"' process_station
}

done_count=0
failed=()
declare -A reported=()
while IFS=$'\t' read -r name result detail; do
  done_count=$((done_count + 1))
  reported[$name]=1
  if [ "$result" = ok ]; then
    echo "[$done_count/$total] $name: done, $detail"
  else
    echo "[$done_count/$total] $name: FAILED, $detail"
    failed+=("$name")
  fi
done < <(run_all)

# A station whose job ended without its line (killed, for instance) failed too.
for recording in "${recordings[@]}"; do
  name=$(basename "$recording")
  name=${name%.*}
  if [ -z "${reported[$name]:-}" ]; then
    echo "run_campaign: $name: FAILED, its job ended without a report"
    failed+=("$name")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "run_campaign: ${#failed[@]} of $total stations failed: ${failed[*]}"
  exit 1
fi
echo "run_campaign: all $total stations processed into $out"
exit 0
