#!/usr/bin/env bash
# The program on a real X display (Xvfb): it shows its window, serves a request, and
# ends cleanly on the Exit command (which SIGTERM gives). Then, with a display that
# cannot be opened or without its desktop module, it runs headless instead of dying.
set -euo pipefail
binary=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
xvfb=""
server=""
cleanup() {
  [ -n "$server" ] && kill -KILL "$server" 2> /dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL $*"; for f in "$work"/*.out "$work"/*.err; do [ -f "$f" ] && sed "s|^|$(basename "$f"): |" "$f"; done; exit 1; }

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
wait_for() {  # wait_for <seconds> <command...>
  local deadline=$((SECONDS + $1)); shift
  until "$@" > /dev/null 2>&1; do [ $SECONDS -lt $deadline ] || return 1; sleep 0.2; done
}

mkdir -p "$work/drive" "$work/config" "$work/tmp" "$work/runtime"
chmod 700 "$work/runtime"
printf 'hello from the desktop' > "$work/drive/hello.txt"

# Starts the program on DISPLAY=$1 with its own port, drive, store and temporary folder.
start() {
  port=$(free_port)
  sed -e "s/^Port:[0-9]*/Port:$port/" -e 's/^RootOption:[0-9]*/RootOption:0/' "$here/../../demo/demo.opt" > "$work/test.opt"
  DISPLAY=$1 XDG_RUNTIME_DIR="$work/runtime" PELLORA_DRIVES="C=$work/drive" XDG_CONFIG_HOME="$work/config" TMPDIR="$work/tmp" \
    "$binary" "$work/test.opt" > "$work/$2.out" 2> "$work/$2.err" &
  server=$!
}
served() { [ "$(curl -s --max-time 5 "http://127.0.0.1:$port/c/hello.txt")" = "hello from the desktop" ]; }
stop() {
  kill -TERM "$server"
  local rc=0
  wait "$server" || rc=$?
  server=""
  [ "$rc" -eq 0 ] || fail "$1: exit code $rc after the Exit command"
  [ -z "$(ls -A "$work/tmp")" ] || fail "$1: temporary files left behind"
}

# A display of our own. Without -noreset the server resets whenever its last client
# leaves, and a client connecting during a reset is dropped: the polls below would race
# the program's own connection.
display=""
for number in $(seq 90 140); do
  [ -e "/tmp/.X11-unix/X$number" ] && continue
  Xvfb ":$number" -screen 0 640x480x24 -nolisten tcp -noreset > "$work/xvfb.out" 2>&1 &
  xvfb=$!
  if wait_for 10 test -e "/tmp/.X11-unix/X$number"; then display=":$number"; break; fi
  kill "$xvfb" 2> /dev/null || true; xvfb=""
done
[ -n "$display" ] || fail "no Xvfb display could be started"

start "$display" desktop
wait_for 20 sh -c "DISPLAY=$display xwininfo -root -tree | grep -q '\"Pellora \\[Port:$port\\]\"'" ||
  fail "no window titled 'Pellora [Port:$port]'"
wait_for 10 served || fail "the desktop program did not serve the file"
# Joined with Qt's loop, the program must still sleep while nothing happens.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$server/stat"; }
before=$(cpu_ticks); sleep 2; after=$(cpu_ticks)
[ $((after - before)) -le 2 ] || fail "the idle desktop program used $((after - before)) clock ticks in 2 s"
[ ! -s "$work/desktop.out" ] || fail "the desktop program printed on standard output as if headless"
stop desktop
DISPLAY=$display xwininfo -root -tree | grep -q '"Pellora' && fail "the window outlived the program"

# A display that does not exist: headless, with a word on standard error.
start ":$((${display#:} + 1000))" nodisplay
wait_for 20 served || fail "without a display the program did not serve"
grep -q "running without a window" "$work/nodisplay.err" || fail "no word that the display could not be opened"
grep -q "could not connect to display" "$work/nodisplay.err" || fail "the toolkit's reason was not passed on"
grep -q "Pellora \[Port:$port\]" "$work/nodisplay.out" || fail "headless titles missing"
stop nodisplay
# A program whose desktop module is missing: headless too, and it says why.
mkdir "$work/alone"
cp "$binary" "$work/alone/pellora"
binary="$work/alone/pellora"
start "$display" nomodule
wait_for 20 served || fail "without its desktop module the program did not serve"
grep -q "desktop module could not be loaded" "$work/nomodule.err" || fail "no word about the missing module"
stop nomodule
echo "PASS the window under Xvfb, a request served, a clean exit; headless without a display"
