#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: in the normal
# build and in a build with the address and undefined-behaviour sanitizers.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
start=$(date +%s)
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" "$here/build" -DTAVRIN_BUILD_TESTS=ON -DTAVRIN_BUILD_BENCH=ON -DTAVRIN_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release
(cd "$here/build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)")
# Line tables only (-g1): the sanitizers' reports name files and lines, and the build is quicker.
"$here/scripts/build.sh" "$here/build-asan" -DTAVRIN_SANITIZE=ON -DTAVRIN_BUILD_TESTS=ON -DTAVRIN_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1
(cd "$here/build-asan" && \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
  LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)")
# A short bounded fuzzing run of every reader of outside files.
"$here/scripts/fuzz.sh" 30
echo "all tests passed in $(( $(date +%s) - start )) s"
