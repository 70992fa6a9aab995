#!/usr/bin/env bash
# tools/package.sh's two Debian packages: lintian-clean, exactly the expected layout, no maintainer
# scripts; the headless one's computed dependencies hold no Qt, the desktop one needs Qt and it.
set -euo pipefail
source_dir=$2 work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL $*"; exit 1; }

bash "$source_dir/tools/package.sh" "$work/debs" "$1" > "$work/package.out" 2>&1 || { cat "$work/package.out"; fail "tools/package.sh"; }
version=$(sed -n 's/^project(Pellora VERSION \([0-9.]*\) .*/\1/p' "$source_dir/CMakeLists.txt")
deb() { echo "$work/debs/${1}_${version}_$(dpkg --print-architecture).deb"; }
lintian --fail-on error "$(deb pellora)" "$(deb pellora-desktop)" > "$work/lintian.out" 2>&1 || { cat "$work/lintian.out"; fail "lintian found errors"; }

for package in pellora pellora-desktop; do
  # Mode, path and link target of every file and link, as the .contents files list them; directories follow.
  dpkg-deb -c "$(deb $package)" | awk '$1 !~ /^d/ { $2 = $3 = $4 = $5 = ""; print }' | tr -s ' ' > "$work/$package.built"
  # Beside the listed files, every help page and directory image of the sources, or every icon size.
  { cat "$(dirname "$0")/$package.contents"; if [ $package = pellora ]; then for file in "$source_dir"/resources/{help,images}/*; do
      echo "-rw-r--r-- ./usr/share/pellora/${file#"$source_dir"/resources/}"; done
    else for size in 16 24 32 48 64 128 256; do echo "-rw-r--r-- ./usr/share/icons/hicolor/${size}x$size/apps/pellora.png"; done; fi; } |
    sort > "$work/$package.expected"
  diff "$work/$package.expected" <(sort "$work/$package.built") ||
    fail "$package does not hold the expected layout (< expected, > built)"
  ! dpkg-deb -c "$(deb $package)" | awk '{ print $2 }' | grep -qv '^root/root$' || fail "$package holds files not owned by root"
  # No maintainer scripts: removing the package leaves nothing of it, not even its name.
  dpkg-deb -e "$(deb $package)" "$work/control-$package"
  [ "$(ls "$work/control-$package" | tr '\n' ' ')" = "control md5sums " ] || fail "$package has $(ls "$work/control-$package")"
done
server=$(dpkg-deb -f "$(deb pellora)" Depends) desktop=$(dpkg-deb -f "$(deb pellora-desktop)" Depends)
[[ $server == *"libc6 (>="* && $server == *"libstdc++6 (>="* && ${server,,} != *qt* ]] ||
  fail "the headless package's dependencies are not its binaries' or hold Qt: $server"
[[ $desktop == *"pellora (= $version)"* && $desktop == *"libqt6widgets6 (>="* ]] ||
  fail "pellora-desktop does not depend on pellora $version and Qt's widgets: $desktop"
echo "PASS pellora and pellora-desktop built, lintian clean, laid out as expected, the headless one without Qt"
