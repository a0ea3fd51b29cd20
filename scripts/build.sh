#!/usr/bin/env bash
# Configures and builds into DIR (default build/) with extra CMake arguments.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$here/build}"
shift || true
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Paths below the checkout count relative to it, so that another clone of
  # the same sources reuses the cache.
  export CCACHE_BASEDIR="$here"
fi
cmake -S "$here" -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
