#!/usr/bin/env bash
# `cmake --install` into a temporary DESTDIR lays out a program that runs from there:
# through bin/pellora it serves a file, its images, a CGI script by its open commands
# and an upload through its upload program, on the user's saved settings; it finds its
# help and read-me; it answers --help and --version, ends cleanly on SIGTERM, and ends
# with status 1 when headless it cannot listen. The menu entry, icons, manual page,
# metainfo and user service are installed and valid.
#   installed-tree.sh <build-dir> <source-dir>
set -euo pipefail
build=$1
source_dir=$2
work=$(mktemp -d)
server=""
cleanup() {
  [ -n "$server" ] && kill -KILL "$server" 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL $*"; for f in "$work"/*.out "$work"/*.err; do [ -f "$f" ] && sed "s|^|$(basename "$f"): |" "$f"; done; exit 1; }
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
wait_for() {  # wait_for <seconds> <command...>
  local deadline=$((SECONDS + $1)); shift
  until "$@" > /dev/null 2>&1; do [ $SECONDS -lt $deadline ] || return 1; sleep 0.2; done
}

root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr > "$work/install.out" 2>&1 || fail "cmake --install"
usr=$root/usr
program=$usr/bin/pellora
[ "$(readlink "$program")" = "../lib/pellora/pellora" ] || fail "bin/pellora is not a link to ../lib/pellora/pellora"
for file in lib/pellora/pellora lib/pellora/upload.exe lib/pellora/pellora-desktop.so lib/pellora/readme.txt \
  lib/pellora/open-commands.conf lib/pellora/images/window.gif lib/pellora/images/pellora.png \
  share/pellora/demo/demo.opt share/doc/pellora/README.md share/doc/pellora/copyright; do
  [ -s "$usr/$file" ] || fail "$file missing or empty"
done
for page in "$source_dir"/resources/help/*; do
  cmp -s "$page" "$usr/lib/pellora/help/$(basename "$page")" || fail "help page $(basename "$page") not installed"
done

# The desktop's files.
desktop-file-validate "$usr/share/applications/pellora.desktop" || fail "the desktop entry is not valid"
for size in 16 24 32 48 64 128 256; do
  icon=$usr/share/icons/hicolor/${size}x$size/apps/pellora.png
  [ "$(python3 -c 'import struct, sys; d = open(sys.argv[1], "rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]) if d[:8] == b"\x89PNG\r\n\x1a\n" else "not a PNG")' "$icon")" = "${size}x$size" ] ||
    fail "icon $icon is not a ${size}x$size PNG"
done
appstreamcli validate --no-net "$usr/share/metainfo/pellora.metainfo.xml" > "$work/metainfo.out" 2>&1 || true
! grep -q '^E:' "$work/metainfo.out" || fail "the metainfo has errors"
grep -q 'pellora.desktop' "$usr/share/metainfo/pellora.metainfo.xml" || fail "the metainfo does not name the menu entry"
man --warnings -l "$usr/share/man/man1/pellora.1.gz" > "$work/man.out" 2> "$work/man.err" || fail "man could not show the page"
[ ! -s "$work/man.err" ] || fail "the manual page has warnings"
for section in NAME SYNOPSIS ENVIRONMENT FILES DRIVES PORTS SIGNALS "EXIT STATUS" EXAMPLES; do
  grep -q "^$section" "$work/man.out" || fail "the manual page has no $section section"
done
unit=$usr/lib/systemd/user/pellora.service
grep -qx 'ExecStart=/usr/bin/pellora' "$unit" || fail "the service does not start /usr/bin/pellora"
if command -v systemd-analyze > /dev/null; then
  # Verified as installed, with the program and the manual page where it will find them.
  sed "s|^ExecStart=/usr/bin/pellora|ExecStart=$program|" "$unit" > "$work/pellora.service"
  MANPATH=$usr/share/man systemd-analyze verify "$work/pellora.service" > "$work/verify.out" 2>&1 ||
    fail "systemd-analyze verify refused the service"
  [ ! -s "$work/verify.out" ] || fail "systemd-analyze verify complained"
else
  echo "systemd-analyze is not installed: the service file is not verified"
fi

# --help and --version answer and start nothing.
mkdir -p "$work/config" "$work/tmp" "$work/drive/web/cgi-bin" "$work/drive/up"
run() { env PELLORA_HEADLESS=1 PELLORA_DRIVES="C=$work/drive" XDG_CONFIG_HOME="$work/config" TMPDIR="$work/tmp" "$program" "$@"; }
run --version > "$work/version.out" 2> "$work/version.err" || fail "--version exited with $?"
version=$(sed -n 's/^project(Pellora VERSION \([0-9.]*\) .*/\1/p' "$source_dir/CMakeLists.txt")
[ "$(cat "$work/version.out")" = "pellora $version" ] || fail "--version printed '$(cat "$work/version.out")'"
run --help > "$work/help.out" 2> "$work/help.err" || fail "--help exited with $?"
head -1 "$work/help.out" | grep -qx 'Usage: pellora \[OPTIONS-FILE\]' || fail "--help printed no usage"
grep -q 'below 1024' "$work/help.out" || fail "--help does not say how to pick a port"
[ ! -s "$work/version.err" ] && [ ! -s "$work/help.err" ] || fail "--help or --version wrote on standard error"
[ -z "$(ls -A "$work/config")" ] || fail "--help or --version touched the settings store"

# The user's saved settings, as the user service runs on them: uploads into C:\up.
port=$(free_port)
mkdir -p "$work/config/pellora"
printf '%s\n' 'Pellora settings store, format 1' '' '[Software]' '' '[Software\Tamsel]' '' '[Software\Tamsel\Pellora]' \
  '@="PR2"' '' '[Software\Tamsel\Pellora\Global]' "\"Port\"=dword:$port" '"RootType"=dword:0' '"RootPath"="c:\web"' \
  '"CgiDir"="cgi-bin"' '' '[Software\Tamsel\Pellora\IpAccess]' '"IpAccessType"=dword:0' '' \
  '[Software\Tamsel\Pellora\DirAccess]' '"DirIndexType"=dword:0' '"DirIndexName"=""' '"UseTableStyle"=dword:0' \
  '"DirAccessType"=dword:0' '' '[Software\Tamsel\Pellora\Logging]' '"IsLogOn"=dword:0' '"LogFile"=""' '' \
  '[Software\Tamsel\Pellora\Upload]' '"UploadOn"=dword:1' '"UploadType"=dword:0' '"UploadDir"="C:\up"' \
  '"IncludeUpload"=dword:1' '' 'End of store' > "$work/config/pellora/settings.store"
cp "$work/config/pellora/settings.store" "$work/store.before"
printf 'served from the installed tree' > "$work/drive/hello.txt"
# Not executable: only the open command registered for .sh can run it.
printf 'echo "Content-Type: text/plain"\necho\necho "script ran"\n' > "$work/drive/web/cgi-bin/hello.sh"
printf 'uploaded bytes' > "$work/upload.txt"

# exec: the process started is the program itself, whose /proc entry is read below.
(exec env PELLORA_HEADLESS=1 PELLORA_DRIVES="C=$work/drive" XDG_CONFIG_HOME="$work/config" TMPDIR="$work/tmp" \
  "$program" > "$work/server.out" 2> "$work/server.err") &
server=$!
url=http://127.0.0.1:$port
served() { [ "$(curl -s --max-time 5 "$url/c/hello.txt")" = "served from the installed tree" ]; }
wait_for 20 served || fail "the installed program did not serve the file"
cmp -s <(curl -s "$url/@dir.gif") "$source_dir/resources/images/dir.gif" || fail "the installed program did not find its images"
[ "$(curl -s "$url/cgi-bin/hello.sh?x")" = "script ran" ] || fail "the installed program did not run a script by its open commands"
curl -s -F "upl-file=@$work/upload.txt" --form-string 'dest=C:\up\' "$url/@upload.exe" > "$work/upload.out"
cmp -s "$work/upload.txt" "$work/drive/up/upload.txt" || fail "the installed upload program did not store the file"
# Help and read-me are looked for beside the running executable.
directory=$(dirname "$(readlink "/proc/$server/exe")")
[ "$directory" = "$usr/lib/pellora" ] || fail "the program runs from $directory"
cmp -s "$directory/help/index.html" "$source_dir/resources/help/index.html" || fail "no help beside the program"
cmp -s "$directory/readme.txt" "$source_dir/resources/readme.txt" || fail "no read-me beside the program"
cmp -s "$work/store.before" "$work/config/pellora/settings.store" || fail "a complete store was rewritten"

# Headless, a start that cannot listen ends the run with its message and status 1.
status=0
timeout 20 env PELLORA_HEADLESS=1 PELLORA_DRIVES="C=$work/drive" XDG_CONFIG_HOME="$work/config" TMPDIR="$work/tmp" \
  "$program" > "$work/taken.out" 2> "$work/taken.err" || status=$?
[ "$status" -ne 124 ] || fail "the server stayed running off-line"
[ "$status" -eq 1 ] || fail "a taken port ended the run with status $status"
grep -q "Could not bind to port $port\." "$work/taken.err" || fail "no bind message for the taken port"
grep -qx 'Pellora - \[Off-Line\]' "$work/taken.out" || fail "no off-line title before the end"

kill -TERM "$server"
status=0
wait "$server" || status=$?
server=""
[ "$status" -eq 0 ] || fail "SIGTERM ended the server with status $status"
[ -z "$(ls -A "$work/tmp")" ] || fail "temporary files left behind"
echo "PASS an installed tree serves a file, images, a script and an upload, and finds its help"
