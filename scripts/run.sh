#!/usr/bin/env bash
# Installs what is missing, builds, creates a sample data folder when none
# exists, and starts Tavrin on it. ROOT defaults to ~/.local/share/Zentavo.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" "$here/build" -DTAVRIN_BUILD_TESTS=OFF -DTAVRIN_BUILD_BENCH=OFF -DTAVRIN_SANITIZE=OFF
root="${TAVRIN_ROOT:-$HOME/.local/share/Zentavo}"
if [ ! -e "$root/kabuka.mdb" ]; then
  "$here/build/src/cli/tavrin-cli" --root "$root" demo
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "no display: starting under xvfb-run (set DISPLAY to see the window)"
  exec xvfb-run -a "$here/build/src/ui/tavrin" --root "$root"
fi
exec "$here/build/src/ui/tavrin" --root "$root"
