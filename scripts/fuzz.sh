#!/usr/bin/env bash
# Builds the fuzzing targets (clang, libFuzzer, address + undefined sanitizers)
# into build-fuzz/ and runs them for SECONDS in all (default 60), shared out
# between the targets named (default: all). Seeds are written by real writers
# (fuzz/make_seeds.py); the corpus grows in build-fuzz/corpus/ from run to run.
# An input that crashes a target is kept in build-fuzz/crashes/ and fails the run.
#
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
total="${1:-60}"
shift || true
build="$here/build-fuzz"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_biff_scan fuzz_xls_frames fuzz_xls_workbook fuzz_xlsx fuzz_ods fuzz_csv fuzz_history_file fuzz_json)
fi
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Paths below the checkout count relative to it, so that another clone of
  # the same sources reuses the cache.
  export CCACHE_BASEDIR="$here"
fi
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja "${launcher[@]}" -DTAVRIN_FUZZ=ON -DTAVRIN_BUILD_UI=OFF \
  -DTAVRIN_BUILD_TESTS=OFF -DTAVRIN_BUILD_BENCH=OFF -DTAVRIN_SANITIZE=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" >/dev/null
# Only what the targets need (the reader program included), not the programs.
cmake --build "$build" -j "$(nproc)" --target tavrin-xls-reader "${targets[@]}"
seeds="$build/seeds"
rm -rf "$seeds"
/usr/bin/python3 "$here/fuzz/make_seeds.py" "$seeds"
mkdir -p "$seeds/frames"
for f in "$seeds"/xls/*.xls; do "$build/src/xlsreader/tavrin-xls-reader" "$f" >"$seeds/frames/$(basename "$f").out" || true; done
seed_dir() {
  case "$1" in
    fuzz_biff_scan | fuzz_xls_workbook) echo "$seeds/xls" ;;
    fuzz_xls_frames) echo "$seeds/frames" ;;
    fuzz_xlsx) echo "$seeds/xlsx" ;;
    fuzz_ods) echo "$seeds/ods" ;;
    fuzz_csv) echo "$seeds/csv" ;;
    fuzz_history_file) echo "$seeds/history" ;;
    fuzz_json) echo "$seeds/json" ;;
  esac
}

per=$(( total / ${#targets[@]} ))
[ "$per" -ge 1 ] || per=1
mkdir -p "$build/crashes"
executions=0
failed=0
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  mkdir -p "$corpus"
  log="$build/$t.log"
  if ASAN_OPTIONS=detect_leaks=1 "$build/fuzz/$t" -max_total_time="$per" -timeout=20 -rss_limit_mb=2048 \
       -max_len=262144 -print_final_stats=1 -artifact_prefix="$build/crashes/$t-" \
       "$corpus" "$(seed_dir "$t")" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    echo "$t: ${runs:-0} executions in ${per} s"
    executions=$(( executions + ${runs:-0} ))
  else
    echo "$t: FAILED, see $log and $build/crashes/"
    tail -40 "$log"
    failed=1
  fi
done
echo "fuzzing: $executions executions in all"
exit $failed
