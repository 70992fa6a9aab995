#!/usr/bin/env bash
# tools/package.sh makes the two Debian packages of a build: lintian finds no error in
# them, they hold exactly the expected layout, the headless package needs no Qt library
# (its dependencies computed from its binaries), the desktop package needs it and the
# first, neither has maintainer scripts, and the headless package unpacked alone runs
# and serves.
#   debian-packages.sh <build-dir> <source-dir>
set -euo pipefail
build=$1
source_dir=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
server=""
cleanup() {
  [ -n "$server" ] && kill -KILL "$server" 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL $*"; exit 1; }

bash "$source_dir/tools/package.sh" "$work/debs" "$build" > "$work/package.out" 2>&1 || { cat "$work/package.out"; fail "tools/package.sh"; }
version=$(sed -n 's/^project(Pellora VERSION \([0-9.]*\) .*/\1/p' "$source_dir/CMakeLists.txt")
arch=$(dpkg --print-architecture)
server_deb=$work/debs/pellora_${version}_$arch.deb
desktop_deb=$work/debs/pellora-desktop_${version}_$arch.deb
[ -f "$server_deb" ] && [ -f "$desktop_deb" ] || fail "packages missing: $(ls "$work/debs")"

lintian --fail-on error "$server_deb" "$desktop_deb" > "$work/lintian.out" 2>&1 || { cat "$work/lintian.out"; fail "lintian found errors"; }
grep '^W:' "$work/lintian.out" || true

# Mode, path and link target of every file and link; directories follow from them.
contents() { dpkg-deb -c "$1" | awk '$1 !~ /^d/ { line = $1 " " $6; for (i = 7; i <= NF; i++) line = line " " $i; print line }'; }
for package in pellora pellora-desktop; do
  deb=$work/debs/${package}_${version}_$arch.deb
  diff <(grep -v '^#' "$here/$package.contents") <(contents "$deb") > "$work/$package.diff" ||
    { cat "$work/$package.diff"; fail "$package does not hold the expected layout (< expected, > built)"; }
  dpkg-deb -c "$deb" | awk '{ print $2 }' | grep -qv '^root/root$' && fail "$package holds files not owned by root"
  # No maintainer scripts: removing the package leaves nothing of it, not even its name.
  dpkg-deb -e "$deb" "$work/control-$package"
  [ "$(ls "$work/control-$package" | tr '\n' ' ')" = "control md5sums " ] ||
    fail "$package has control files $(ls "$work/control-$package" | tr '\n' ' ')"
done

server_depends=$(dpkg-deb -f "$server_deb" Depends)
desktop_depends=$(dpkg-deb -f "$desktop_deb" Depends)
echo "pellora depends on: $server_depends"
echo "pellora-desktop depends on: $desktop_depends"
[[ "$server_depends" == *"libc6 (>="* && "$server_depends" == *"libstdc++6 (>="* ]] ||
  fail "the headless package's dependencies were not computed from its binaries"
[[ "${server_depends,,}" != *qt* ]] || fail "the headless package depends on Qt"
[[ "$desktop_depends" == *"pellora (= $version)"* ]] || fail "pellora-desktop does not depend on pellora $version"
[[ "$desktop_depends" == *"libqt6widgets6 (>="* ]] || fail "pellora-desktop does not depend on Qt's widgets"

# The headless package alone, unpacked: its stripped program runs, serves and finds its images.
dpkg-deb -x "$server_deb" "$work/root"
objdump -p "$work/root/usr/lib/pellora/pellora" | grep NEEDED | grep -qi qt && fail "the program itself links Qt"
mkdir -p "$work/drive" "$work/config" "$work/tmp"
printf 'from the package' > "$work/drive/hello.txt"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
sed -e "s/^Port:[0-9]*/Port:$port/" "$work/root/usr/share/pellora/demo/demo.opt" > "$work/test.opt"
(exec env PELLORA_HEADLESS=1 PELLORA_DRIVES="C=$work/drive" XDG_CONFIG_HOME="$work/config" TMPDIR="$work/tmp" \
  "$work/root/usr/bin/pellora" "$work/test.opt" > "$work/server.out" 2> "$work/server.err") &
server=$!
for _ in $(seq 100); do
  [ "$(curl -s --max-time 2 "http://127.0.0.1:$port/c/hello.txt")" = "from the package" ] && break
  sleep 0.2
done
[ "$(curl -s "http://127.0.0.1:$port/c/hello.txt")" = "from the package" ] || { cat "$work/server.err"; fail "the packaged program did not serve"; }
cmp -s <(curl -s "http://127.0.0.1:$port/@home.gif") "$source_dir/resources/images/home.gif" || fail "the packaged program found no images"
kill -TERM "$server"
wait "$server" || fail "the packaged program did not end cleanly"
server=""
echo "PASS pellora and pellora-desktop built, lintian clean, laid out as expected, the headless one without Qt"
