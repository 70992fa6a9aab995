#!/usr/bin/env bash
# The desktop entry that tools/install-desktop-entry.sh installs is valid, starts the
# built program, and brings its icon.
set -euo pipefail
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
XDG_DATA_HOME="$data" PELLORA_NO_BUILD=1 bash "$1/tools/install-desktop-entry.sh" > /dev/null
desktop-file-validate "$data/applications/pellora.desktop"
grep -qx "Exec=\"$1/build/pellora\" %f" "$data/applications/pellora.desktop" || { echo "FAIL $(grep ^Exec= "$data/applications/pellora.desktop")"; exit 1; }
[ -s "$data/icons/hicolor/64x64/apps/pellora.png" ] || { echo "FAIL no icon"; exit 1; }
