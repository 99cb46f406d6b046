#!/usr/bin/env bash
# What an unlucky user meets, from outside: a stored restart interval of 0 or
# less neither flashes the screen nor survives the dialog's OK; a run-time
# error that ends the saver ends it with status 1; a second saver on the same
# display does not start, and one key ends the one that runs; an 8-bit screen
# with a palette shows the scene in its colours, and a hack in a window of
# the palette's visual ends on a recorded error; running out of memory for
# the desktop picture of a 3840x2160 screen is recorded as error 7, never
# taken for a lost connection.
set -uo pipefail
source "$(dirname "$0")/lib/x11.sh"

x11_session 640x480
mkdir -p "$x11_tmp/bin"
cp "$FROSTWISP_BIN" "$x11_tmp/bin/frostwisp"
FROSTWISP_BIN=$x11_tmp/bin/frostwisp
ept=$x11_tmp/bin/frostwisp.EPT
probe_row=(40 240 320 240 600 240)

# The colour most of the probes show (a flake covers one at most).
probe_colour() { pixels root "${probe_row[@]}" | sort | uniq -c | sort -rn | awk 'NR == 1 { print $2, $3, $4 }'; }

# ---- an interval below a second: recorded, the default used, no flashing
for stored in 0 -1; do
  rm -f "$ept"
  settings Restart=1 Background=4 "rTime=$stored"
  start_saver /S
  sleep 0.5
  changes=0 last=$(probe_colour)
  for _ in $(seq 20); do
    sleep 0.1
    now=$(probe_colour)
    [[ $now != "$last" ]] && changes=$((changes + 1))
    last=$now
  done
  keep_screenshot root "rtime$stored"
  import -window root "$x11_tmp/shot.png"
  white=$(convert "$x11_tmp/shot.png" -crop 640x400+0+0 -fill black +opaque white -format '%[fx:int(mean*w*h)]' info:)
  kill "$saver_pid"
  (( changes <= 2 )) || fail "rTime=$stored: the probes changed colour $changes times in 2 s"
  (( white >= 20 )) || fail "rTime=$stored: no flakes on the screen ($white white pixels)"
  grep -q $'Prozedur / procedure:\tLoadConfig\r$' "$ept" || fail "rTime=$stored was not recorded"
  note "rTime=$stored: $changes changes of colour in 2 s, $white white pixels, recorded"
done
open_settings
press_ok
wait_exit "$saver_pid" 5000 || fail "OK did not close the dialog"
grep -qx 'rTime=600' "$XDG_CONFIG_HOME/frostwisp/frostwisp.ini" ||
  fail "OK stored $(grep rTime "$XDG_CONFIG_HOME/frostwisp/frostwisp.ini")"
note "OK stored rTime=600"

# ---- a run-time error ends the saver with status 1
rm -f "$ept"
settings SpeedF=1e6
start_saver /S
wait_exit "$saver_pid" 5000 || fail "SpeedF=1e6 did not end the saver"
[[ $exit_status -eq 1 ]] || fail "status $exit_status after a run-time error"
grep -q $'6 (Overflow)\r$' "$ept" || fail "the overflow was not recorded"
note "SpeedF=1e6: recorded, status 1"

# ---- a second saver on the display does not start; one key ends the first
settings Background=1 Restart=0
start_saver /S
first=$saver_pid
sleep 0.5
start_saver /S
wait_exit "$saver_pid" 3000 || fail "the second saver is still running"
[[ $exit_status -eq 0 ]] || fail "the second saver ended with status $exit_status"
grep -q 'already runs' "$x11_tmp/saver.err" || fail "the second saver said nothing: $(cat "$x11_tmp/saver.err")"
running "$first" || fail "the second saver ended the first"
xdotool key a
wait_exit "$first" 2000 || fail "a key did not end the first saver"
[[ -z $(window_named Glimmerkin) ]] || fail "a scene window is left after one key"
# The claim goes with the process: a killed saver does not block the next.
start_saver /S
sleep 0.5
{ kill -9 "$saver_pid"; wait "$saver_pid"; } 2>/dev/null
start_saver /S
sleep 0.5
running "$saver_pid" || fail "a saver killed before blocks the next: $(cat "$x11_tmp/saver.err")"
kill "$saver_pid"
note "the second saver did not start; one key ended the first"

# ---- an 8-bit screen with a palette: the scene in its colours
X11_DEPTH=8 x11_session 640x480
settings Background=1 Restart=0
start_saver /S
sleep 1
scene=$(window_named Glimmerkin)
[[ -n $scene ]] || fail "no scene on the 8-bit screen: $(cat "$x11_tmp/saver.err")"
top=$(pixels "$scene" 5 0 320 0 635 0 | sort | uniq -c | sort -rn | awk 'NR == 1 { print $2, $3, $4 }')
read -r r g b <<<"$top"
(( b > 200 && r < 160 && g < 220 && b > r )) || fail "the top of the blue gradient is $top on the 8-bit screen"
running "$saver_pid" || fail "the saver ended on the 8-bit screen"
xdotool key a
wait_exit "$saver_pid" 2000 || fail "a key did not end the saver on the 8-bit screen"
# A hack given a window of the palette's visual cannot show the scene: it
# records why and ends.
rm -f "$ept"
start_saver -root
wait_exit "$saver_pid" 3000 || fail "the hack on a palette window keeps running"
[[ $exit_status -eq 1 ]] && grep -q $'481 (Invalid picture)\r$' "$ept" ||
  fail "the hack on a palette window: status $exit_status, $(grep -a 'error' "$ept" | head -n1)"
note "8-bit screen: the top of the gradient is $top; a hack on the palette window ended on error 481"

# ---- out of memory while taking the desktop picture of a large screen
x11_session 3840x2160
settings Background=3 Restart=0
for limit in 150 200; do
  rm -f "$ept"
  ( ulimit -v $((limit * 1024)); exec "$FROSTWISP_BIN" /S ) 2>"$x11_tmp/saver.err" &
  saver_pid=$!
  wait_exit "$saver_pid" 10000 || { kill "$saver_pid"; fail "${limit}M: the saver neither ran out of memory nor ended"; }
  [[ $exit_status -eq 1 ]] || fail "${limit}M: status $exit_status"
  ! grep -q 'lost the connection' "$x11_tmp/saver.err" || fail "${limit}M: $(cat "$x11_tmp/saver.err")"
  grep -q $'7 (Out of memory)\r$' "$ept" || fail "${limit}M: no error 7 recorded"
done
note "out of memory at 3840x2160: error 7 recorded, status 1"
note ok
