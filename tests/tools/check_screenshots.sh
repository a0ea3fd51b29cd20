#!/usr/bin/env bash
# The screenshot tool renders without a display: with no platform chosen it
# takes the offscreen one, and writes every picture of a sample data folder.
#   check_screenshots.sh TAVRIN_CLI SCREENSHOTS
set -euo pipefail
cli="$1"
shots="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
"$cli" --root "$work/root" demo >/dev/null
mkdir "$work/out"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$shots" --root "$work/root" --out "$work/out" \
  >"$work/log" 2>&1 || status=$?
[ "$status" -eq 0 ] || { cat "$work/log" >&2; fail "screenshots exited with $status"; }
for png in main-menu screening chart memo; do
  f="$work/out/$png.png"
  [ -s "$f" ] || fail "no $png.png"
  [ "$(head -c 8 "$f" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$png.png is no PNG"
done
echo "screenshots without a display: ok"
