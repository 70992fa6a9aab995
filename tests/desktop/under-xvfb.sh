#!/usr/bin/env bash
# On Xvfb the program shows its window, serves, sleeps while idle and ends on SIGTERM (its Exit
# command); with a display it cannot open, or without its desktop module, it serves headless and says why.
set -euo pipefail
binary=$1 work=$(mktemp -d) pids=()
trap 'kill "${pids[@]}" 2> /dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL $*"; tail -n 5 "$work"/*.err 2> /dev/null; exit 1; }
wait_for() {  # <seconds> <command...>
  local deadline=$((SECONDS + $1)); shift
  until "$@" > /dev/null 2>&1; do [ $SECONDS -lt $deadline ] || return 1; sleep 0.2; done; }
mkdir -p -m 700 "$work/drive" "$work/config" "$work/tmp" "$work/runtime" "$work/alone"
printf 'hello from the desktop' > "$work/drive/hello.txt"
cp "$binary" "$work/alone/pellora"

# A free display, its number written once Xvfb accepts connections. Without -noreset it resets when its
# last client leaves and drops a client connecting meanwhile: the polls below would race the program's.
coproc XVFB { exec Xvfb -displayfd 1 -screen 0 640x480x24 -nolisten tcp -noreset 2> /dev/null; }
pids+=("$XVFB_PID")
read -r -t 10 number <&"${XVFB[0]}" || fail "no Xvfb display could be started"
display=":$number"

# case, display, program, what it says on standard error when headless
while read -r name on program said; do
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  sed -e "s/^Port:[0-9]*/Port:$port/" -e 's/^RootOption:[0-9]*/RootOption:0/' "$(dirname "$0")/../../demo/demo.opt" > "$work/test.opt"
  DISPLAY=$on XDG_RUNTIME_DIR="$work/runtime" PELLORA_DRIVES="C=$work/drive" XDG_CONFIG_HOME="$work/config" \
    TMPDIR="$work/tmp" "$program" "$work/test.opt" > "$work/$name.out" 2> "$work/$name.err" &
  server=$!; pids+=("$server")
  wait_for 20 sh -c "[ \"\$(curl -s --max-time 5 http://127.0.0.1:$port/c/hello.txt)\" = 'hello from the desktop' ]" ||
    fail "$name: the file was not served"
  if [ "$said" = "-" ]; then
    wait_for 20 sh -c "DISPLAY=$display xwininfo -root -tree | grep -q '\"Pellora \\[Port:$port\\]\"'" ||
      fail "no window titled 'Pellora [Port:$port]'"
    # Joined with Qt's loop, the program must still sleep while nothing happens.
    before=$(awk '{ print $14 + $15 }' "/proc/$server/stat"); sleep 2
    ticks=$(($(awk '{ print $14 + $15 }' "/proc/$server/stat") - before))
    [ "$ticks" -le 2 ] || fail "the idle desktop program used $ticks clock ticks in 2 s"
    [ ! -s "$work/$name.out" ] || fail "the desktop program printed on standard output as if headless"
  else
    grep -qz "$said" "$work/$name.err" || fail "$name: standard error does not say '$said'"
    grep -q "Pellora \[Port:$port\]" "$work/$name.out" || fail "$name: no headless title"
  fi
  kill -TERM "$server"; wait "$server" || fail "$name: exit code $? after the Exit command"
  ! DISPLAY=$display xwininfo -root -tree | grep -q '"Pellora' || fail "$name: the window outlived the program"
done << EOF
window $display $binary -
no-display :$((${display#:} + 1000)) $binary could not connect to display.*running without a window
no-module $display $work/alone/pellora desktop module could not be loaded
EOF
echo "PASS the window under Xvfb, a request served, a clean exit; headless without a display or module"
