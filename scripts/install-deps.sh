#!/usr/bin/env bash
# Installs the Debian 12 packages Tavrin needs to build, test and run.
# Non-interactive and idempotent: does nothing when everything is present.
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config qt6-base-dev libsqlite3-dev libfreexl-dev libgtest-dev
          python3 python3-xlwt python3-openpyxl python3-xlsxwriter python3-odf python3-pandas libminizip-dev libexpat1-dev libxlsxwriter-dev qtkeychain-qt6-dev qt6-translations-l10n fonts-noto-cjk xvfb xauth
          desktop-file-utils appstream dpkg-dev file groff-base librsvg2-bin gnumeric libnotify-bin)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
