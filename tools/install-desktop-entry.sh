#!/usr/bin/env bash
# Puts Pellora into the desktop's menu for this user: a desktop entry that starts
# build/pellora (built first if missing, unless PELLORA_NO_BUILD is set) and its icon,
# under ~/.local/share (or $XDG_DATA_HOME). Run it again after moving the checkout.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
[ -x build/pellora ] || [ -n "${PELLORA_NO_BUILD:-}" ] || PELLORA_TARGET=pellora bash tools/build.sh build
data=${XDG_DATA_HOME:-$HOME/.local/share}
mkdir -p "$data/applications" "$data/icons/hicolor/64x64/apps"
cp resources/window/pellora.png "$data/icons/hicolor/64x64/apps/pellora.png"
sed "s|^Exec=pellora|Exec=\"$root/build/pellora\"|" resources/pellora.desktop > "$data/applications/pellora.desktop"
command -v update-desktop-database > /dev/null && update-desktop-database -q "$data/applications" || true
echo "installed $data/applications/pellora.desktop"
