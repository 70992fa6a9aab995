#!/usr/bin/env bash
# The desktop entry that tools/install-desktop-entry.sh installs is valid, starts the
# built program, and brings its icon.
set -euo pipefail
source_dir=$1
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
XDG_DATA_HOME="$data" bash "$source_dir/tools/install-desktop-entry.sh" > /dev/null
entry="$data/applications/pellora.desktop"
desktop-file-validate "$entry" || { echo "FAIL the entry is not valid"; exit 1; }
exec_line=$(grep '^Exec=' "$entry")
[ "$exec_line" = "Exec=\"$source_dir/build/pellora\" %f" ] || { echo "FAIL $exec_line"; exit 1; }
[ -s "$data/icons/hicolor/64x64/apps/pellora.png" ] || { echo "FAIL no icon"; exit 1; }
echo "PASS $entry"
