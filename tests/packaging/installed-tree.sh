#!/usr/bin/env bash
# `cmake --install` into a DESTDIR: menu entry, icons, manual page, metainfo and user service are
# valid, and bin/pellora, started as the service starts it, finds its images, open commands,
# upload program, help and read-me.   installed-tree.sh <build-dir> <source-dir>
set -euo pipefail
source_dir=$2 work=$(mktemp -d) server=""
trap '[ -z "$server" ] || kill -KILL "$server"; rm -rf "$work"' EXIT
fail() { echo "FAIL $*"; tail -n 5 "$work"/*.out "$work"/*.err 2> /dev/null; exit 1; }

DESTDIR=$work/root cmake --install "$1" --prefix /usr > "$work/install.out" 2>&1 || fail "cmake --install"
usr=$work/root/usr
program=$usr/bin/pellora
for size in 16 24 32 48 64 128 256; do file "$usr/share/icons/hicolor/${size}x$size/apps/pellora.png" |
  grep -q "PNG image data, $size x $size," || fail "no ${size}x$size icon"; done
desktop-file-validate "$usr/share/applications/pellora.desktop" || fail "the desktop entry is not valid"
! { appstreamcli validate --no-net "$usr/share/metainfo/pellora.metainfo.xml" 2>&1 || true; } | grep '^E:' || fail "the metainfo has errors"
[ -z "$(man --warnings -l "$usr/share/man/man1/pellora.1.gz" 2>&1 > /dev/null)" ] || fail "the manual page has warnings"
# The service verified as installed, with the program and the manual page where it will find them.
grep -qx 'ExecStart=/usr/bin/pellora' "$usr/lib/systemd/user/pellora.service" || fail "the service does not start /usr/bin/pellora"
sed "s|^ExecStart=/usr/bin/pellora|ExecStart=$program|" "$usr/lib/systemd/user/pellora.service" > "$work/pellora.service"
verified=$(MANPATH=$usr/share/man systemd-analyze verify "$work/pellora.service" 2>&1) && [ -z "$verified" ] ||
  fail "systemd-analyze verify: $verified"

# The user's saved settings: uploads into C:\up, scripts below c:\web\cgi-bin.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$work/config/pellora" "$work/tmp" "$work/drive/web/cgi-bin" "$work/drive/up"
printf '%s\n' 'Pellora settings store, format 1' '[Software\Tamsel\Pellora]' '@="PR2"' '[Software\Tamsel\Pellora\Global]' \
  "\"Port\"=dword:$port" '"RootType"=dword:0' '"RootPath"="c:\web"' '"CgiDir"="cgi-bin"' '[Software\Tamsel\Pellora\IpAccess]' \
  '"IpAccessType"=dword:0' '[Software\Tamsel\Pellora\DirAccess]' '"DirIndexType"=dword:0' '"DirIndexName"=""' \
  '"UseTableStyle"=dword:0' '"DirAccessType"=dword:0' '[Software\Tamsel\Pellora\Logging]' '"IsLogOn"=dword:0' '"LogFile"=""' \
  '[Software\Tamsel\Pellora\Upload]' '"UploadOn"=dword:1' '"UploadType"=dword:0' '"UploadDir"="C:\up"' '"IncludeUpload"=dword:1' \
  'End of store' | tee "$work/store.before" > "$work/config/pellora/settings.store"
printf 'served from the installed tree' > "$work/drive/hello.txt"
# Not executable: only the open command registered for .sh can run it.
printf 'echo "Content-Type: text/plain"\necho\necho "script ran"\n' > "$work/drive/web/cgi-bin/hello.sh"
# exec: the process started is the program itself, whose /proc entry is read below.
(exec env PELLORA_HEADLESS=1 PELLORA_DRIVES="C=$work/drive" XDG_CONFIG_HOME="$work/config" TMPDIR="$work/tmp" \
  "$program" > "$work/server.out" 2> "$work/server.err") &
server=$!
url=http://127.0.0.1:$port
for _ in $(seq 100); do curl -s "$url/c/hello.txt" > "$work/hello.out" && break; sleep 0.2; done
[ "$(cat "$work/hello.out")" = "served from the installed tree" ] || fail "the installed program did not serve the file"
cmp -s <(curl -s "$url/@dir.gif") "$source_dir/resources/images/dir.gif" || fail "the installed program did not find its images"
[ "$(curl -s "$url/cgi-bin/hello.sh?x")" = "script ran" ] || fail "the installed program did not run a script by its open commands"
curl -s -F "upl-file=@$work/drive/hello.txt" --form-string 'dest=C:\up\' "$url/@upload.exe" > "$work/upload.out"
cmp -s "$work/drive/hello.txt" "$work/drive/up/hello.txt" || fail "the installed upload program did not store the file"
# Help and read-me are looked for beside the running executable.
[ "$(readlink "/proc/$server/exe")" = "$usr/lib/pellora/pellora" ] || fail "the program runs from $(readlink "/proc/$server/exe")"
for page in "$source_dir"/resources/help/* "$source_dir/resources/readme.txt"; do
  cmp -s "$page" "$usr/lib/pellora/${page#"$source_dir"/resources/}" || fail "$page is not beside the program"; done
cmp -s "$work/store.before" "$work/config/pellora/settings.store" || fail "a complete store was rewritten"
kill -TERM "$server"; wait "$server" || fail "SIGTERM ended the server with status $?"; server=""
[ -z "$(ls -A "$work/tmp")" ] || fail "temporary files left behind"
echo "PASS an installed tree serves a file, images, a script and an upload, and finds its help"
