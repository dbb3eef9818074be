#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every benchmark program of the build, one after the other.
set -euo pipefail
build=${1:-build}
for b in "$build"/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b"
  echo
done
if [ -d "$build/python/hvsite" ]; then
  echo "== hvsite (Python) against ratiospec"
  PYTHONPATH="$build/python" /usr/bin/python3 "$(dirname "$0")/bench_python.py" "$build"
fi
