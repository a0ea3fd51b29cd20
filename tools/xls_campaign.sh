#!/usr/bin/env bash
# Tries damaged workbooks on the program: writes N mutated copies of real
# workbooks (tools/mutate_xls.py), then runs `tavrin-cli latest` and
# `tavrin-cli import` on each, and the workbook reader on its own, and counts
# how each run ended.
#
#   tools/xls_campaign.sh BUILD_DIR WORK_DIR [N] [SEED]
#
# A program run that ends by a signal or is still running after 30 s is a
# fault of ours; the reader may crash on such files (that is why it runs apart),
# and its crashes are listed in WORK_DIR/reader-crashes.txt with the edits
# that made them.
set -uo pipefail
build="$(cd "$1" && pwd)"
work="$2"
count="${3:-5200}"
seed="${4:-9}"
here="$(cd "$(dirname "$0")" && pwd)"
cli="$build/src/cli/tavrin-cli"
reader="$build/src/xlsreader/tavrin-xls-reader"

rm -rf "$work"
mkdir -p "$work"
/usr/bin/python3 "$here/mutate_xls.py" mutate "$work" "$count" "$seed" || exit 1
root="$work/root"
"$cli" --root "$root" init >/dev/null || exit 1
"$cli" --root "$root" demo --stocks 300 --replace >/dev/null || exit 1
ln -s "$work/m" "$root/m"

: >"$work/results.txt"
# One file: the reader alone, then both commands; one line per run.
try_file() {
  f="$1"
  name="m/$(basename "$f" .xls)"
  timeout -s KILL 30 "$reader" "$f" >/dev/null 2>&1
  rc=$?
  if [ $rc -eq 137 ]; then echo "$(basename "$f") reader hang"
  elif [ $rc -gt 128 ]; then echo "$(basename "$f") reader signal $((rc - 128))"; fi
  args=()
  for k in 1 2 3 4 5 6 7 8 9 10; do args+=("$k:26/12/$(printf %02d $((11 - k))):$name"); done
  for cmd in "latest 26/12/09:$name" "import ${args[*]}"; do
    # shellcheck disable=SC2086
    timeout -s KILL 30 "$cli" --root "$root" $cmd >/dev/null 2>&1
    rc=$?
    echo "$(basename "$f") ${cmd%% *} exit $rc"
  done
}
export -f try_file
export cli reader root
find "$work/m" -name 'm*.xls' | sort | xargs -P "${JOBS:-3}" -I{} bash -c 'try_file "$1"' _ {} >>"$work/results.txt"

runs=$(grep -c ' exit ' "$work/results.txt")
done_ok=$(grep -c ' exit 0$' "$work/results.txt")
refused=$(grep -c ' exit 1$' "$work/results.txt")
grep ' exit ' "$work/results.txt" | grep -v ' exit [01]$' >"$work/program-faults.txt"
program_faults=$(grep -c . "$work/program-faults.txt")
grep ' reader ' "$work/results.txt" >"$work/reader-crashes.txt"
reader_signals=$(grep -c 'reader signal' "$work/reader-crashes.txt")
reader_hangs=$(grep -c 'reader hang' "$work/reader-crashes.txt")
echo "files: $count, program runs: $runs, imported: $done_ok, refused: $refused, program crashes or hangs: $program_faults"
echo "reader process: $reader_signals ended by a signal, $reader_hangs killed after 30 s (see $work/reader-crashes.txt)"
