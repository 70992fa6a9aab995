#!/usr/bin/env bash
# tools/package.sh makes the two Debian packages of a build: lintian finds no error in
# them, they hold exactly the expected layout and no maintainer scripts, the headless
# package needs no Qt library (its dependencies computed from its binaries) and, unpacked
# alone, serves; the desktop package needs Qt and the first.
#   debian-packages.sh <build-dir> <source-dir>
set -euo pipefail
source_dir=$2
work=$(mktemp -d)
server=""
trap '[ -z "$server" ] || kill -KILL "$server"; rm -rf "$work"' EXIT
fail() { echo "FAIL $*"; exit 1; }

bash "$source_dir/tools/package.sh" "$work/debs" "$1" > "$work/package.out" 2>&1 || { cat "$work/package.out"; fail "tools/package.sh"; }
version=$(sed -n 's/^project(Pellora VERSION \([0-9.]*\) .*/\1/p' "$source_dir/CMakeLists.txt")
deb() { echo "$work/debs/${1}_${version}_$(dpkg --print-architecture).deb"; }
lintian --fail-on error "$(deb pellora)" "$(deb pellora-desktop)" > "$work/lintian.out" 2>&1 || { cat "$work/lintian.out"; fail "lintian found errors"; }
grep '^W:' "$work/lintian.out" || true

for package in pellora pellora-desktop; do
  # Mode, path and link target of every file and link; directories follow from them.
  dpkg-deb -c "$(deb $package)" | awk '$1 !~ /^d/ { $2 = $3 = $4 = $5 = ""; print }' | tr -s ' ' > "$work/$package.built"
  diff <(grep -v '^#' "$(dirname "$0")/$package.contents") "$work/$package.built" ||
    fail "$package does not hold the expected layout (< expected, > built)"
  ! dpkg-deb -c "$(deb $package)" | awk '{ print $2 }' | grep -qv '^root/root$' || fail "$package holds files not owned by root"
  # No maintainer scripts: removing the package leaves nothing of it, not even its name.
  dpkg-deb -e "$(deb $package)" "$work/control-$package"
  [ "$(ls "$work/control-$package" | tr '\n' ' ')" = "control md5sums " ] || fail "$package has $(ls "$work/control-$package")"
done
server_depends=$(dpkg-deb -f "$(deb pellora)" Depends)
desktop_depends=$(dpkg-deb -f "$(deb pellora-desktop)" Depends)
[[ "$server_depends" == *"libc6 (>="* && "$server_depends" == *"libstdc++6 (>="* ]] ||
  fail "the headless package's dependencies were not computed from its binaries: $server_depends"
[[ "${server_depends,,}" != *qt* ]] || fail "the headless package depends on Qt: $server_depends"
[[ "$desktop_depends" == *"pellora (= $version)"* && "$desktop_depends" == *"libqt6widgets6 (>="* ]] ||
  fail "pellora-desktop does not depend on pellora $version and Qt's widgets: $desktop_depends"

# The headless package alone, unpacked: its stripped program, linked without Qt, serves and finds its images.
dpkg-deb -x "$(deb pellora)" "$work/root"
! objdump -p "$work/root/usr/lib/pellora/pellora" | grep NEEDED | grep -qi qt || fail "the program itself links Qt"
mkdir -p "$work/drive" "$work/config" "$work/tmp"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
sed -e "s/^Port:[0-9]*/Port:$port/" "$work/root/usr/share/pellora/demo/demo.opt" > "$work/test.opt"
(exec env PELLORA_HEADLESS=1 PELLORA_DRIVES="C=$work/drive" XDG_CONFIG_HOME="$work/config" TMPDIR="$work/tmp" \
  "$work/root/usr/bin/pellora" "$work/test.opt" > /dev/null 2> "$work/server.err") &
server=$!
for _ in $(seq 100); do curl -s -o "$work/home.gif" "http://127.0.0.1:$port/@home.gif" && break; sleep 0.2; done
cmp -s "$work/home.gif" "$source_dir/resources/images/home.gif" || { cat "$work/server.err"; fail "the packaged program served no images"; }
kill -TERM "$server"
wait "$server" || fail "the packaged program did not end cleanly"
server=""
echo "PASS pellora and pellora-desktop built, lintian clean, laid out as expected, the headless one without Qt"
