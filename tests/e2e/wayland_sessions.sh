#!/usr/bin/env bash
# The saver in the Wayland sessions around it: swayidle starts it after its
# timeout, a second one started beside it does not start, a key ends it and
# the next timeout starts it again; with XWayland
# running as well "/S" still takes Wayland (no X window of the program) and
# "--x11" takes XWayland; on weston, which offers no layer shell, a fullscreen
# window shows the scene, and it ends on SIGTERM within a second. A file of
# root's beside the compositor's socket does not let a user's second saver,
# nor one on XWayland, start beside the first; with no compositor at
# WAYLAND_DISPLAY the program says where it looked and why.
set -uo pipefail
source "$(dirname "$0")/lib/sway.sh"

# ---- swayidle
sway_session
settings Background=1 Restart=0
pids_file=$wl_tmp/started
: >"$pids_file"
# Each start leaves the saver's process id; the shell becomes the program.
swayidle -d timeout 2 "echo \$\$ >>'$pids_file'; exec '$FROSTWISP_BIN' /S 2>>'$wl_tmp/saver.err'" \
  >"$wl_tmp/swayidle.log" 2>&1 &
wl_pids+=($!)
swayidle_pid=$!

# Waits up to ms for the n-th start by swayidle and its scene; $saver_pid.
wait_for_start() {
  local n=$1 ms=$2 start
  start=$(now_ms)
  while (( $(grep -c . "$pids_file") < n )); do
    (( $(now_ms) - start < ms )) || fail "swayidle started no saver ($n) within $ms ms: $(tail -n 3 "$wl_tmp/swayidle.log")"
    sleep 0.05
  done
  saver_pid=$(sed -n "${n}p" "$pids_file")
  started_ms=$(( $(now_ms) - start ))
  wait_for_band 2000 HEADLESS-1 || fail "no scene after swayidle started the saver ($n)"
}

wait_for_start 1 5000
note "swayidle started the saver after ${started_ms} ms more"
# A second saver on the same compositor does not start, so one key ends all.
first=$saver_pid
start_saver /S
wait_exit "$saver_pid" 2000 || fail "a second saver started beside the first"
[[ $exit_status -eq 0 ]] && grep -q 'already runs' "$wl_tmp/saver.err" ||
  fail "the second saver: status $exit_status, $(cat "$wl_tmp/saver.err")"
saver_pid=$first
wtype -s 100 -k a || fail "wtype could not type"
wait_exit "$saver_pid" 1000 || fail "a key did not end the saver that swayidle started"
note "a key ended it after ${waited_ms} ms"
(( $(grep -c . "$pids_file") == 1 )) || fail "swayidle started it again at once"
wait_for_start 2 5000
note "swayidle started it again after ${started_ms} ms more"
wtype -s 100 -k a
wait_exit "$saver_pid" 1000 || fail "a key did not end the second saver"
kill "$swayidle_pid"

# ---- XWayland beside the compositor
sway_session xwayland
settings Background=1 Restart=0
start_saver /S
wait_for_band 3000 HEADLESS-1 || fail "no scene with XWayland running after ${waited_ms} ms"
xwininfo -root -tree | grep -q Glimmerkin && fail "\"/S\" made an X window with XWayland running"
note "\"/S\" took Wayland with XWayland at $DISPLAY"
kill "$saver_pid"
wait_exit "$saver_pid" 1000 || fail "SIGTERM did not end the saver"

start_saver --x11 /S
start=$(now_ms)
until xwininfo -root -tree | grep -q Glimmerkin; do
  running "$saver_pid" || fail "\"--x11\" ended at once"
  (( $(now_ms) - start < 3000 )) || fail "\"--x11\" made no X window on XWayland"
  sleep 0.05
done
wait_for_band 3000 HEADLESS-1 || fail "\"--x11\": no scene on the output after ${waited_ms} ms"
note "\"--x11\" took XWayland: its window shows on the output"
kill "$saver_pid"
wait_exit "$saver_pid" 1000 || fail "SIGTERM did not end the saver on XWayland"

# ---- one saver a compositor, whoever left a file beside its socket (root
# through sudo did, before): the user's second "/S" does not start, nor does
# one on XWayland beside it.
touch "$WAYLAND_DISPLAY.frostwisp-saver"
chmod 600 "$WAYLAND_DISPLAY.frostwisp-saver"
user_saver() {
  as_user WAYLAND_DISPLAY="$WAYLAND_DISPLAY" XDG_CONFIG_HOME="$XDG_CONFIG_HOME" FROSTWISP_SEED=7 \
    "$FROSTWISP_BIN" /S 2>"$wl_tmp/saver.err"
  saver_pid=$!
  wl_pids+=($saver_pid)
}
user_saver
wait_for_band 3000 HEADLESS-1 || fail "the user's saver shows no scene beside root's file"
first=$saver_pid
user_saver
wait_exit "$saver_pid" 2000 || fail "the user's second saver started beside root's file"
grep -q 'already runs' "$wl_tmp/saver.err" || fail "the user's second saver said: $(cat "$wl_tmp/saver.err")"
start_saver --x11 /S
wait_exit "$saver_pid" 2000 || fail "a saver on XWayland started beside the one on Wayland"
grep -q 'already runs' "$wl_tmp/saver.err" || fail "the saver on XWayland said: $(cat "$wl_tmp/saver.err")"
note "beside root's file the user's second saver and one on XWayland did not start"
kill "$first"
wait_exit "$first" 1000 || fail "SIGTERM did not end the user's saver"

# ---- weston: no layer shell
sway_user
private_runtime_dir
# Headless weston has no seat, so the fullscreen window is never activated,
# and weston 14 (not 10) then shows its panel over it: no panel here.
printf '[shell]\npanel-position=none\n' >"$wl_tmp/weston.ini"
chmod 644 "$wl_tmp/weston.ini"
as_user weston --config="$wl_tmp/weston.ini" --backend=headless-backend.so --use-pixman --socket=wayland-frostwisp --width=1280 --height=720 \
  --debug --idle-time=0 >"$wl_tmp/weston.log" 2>&1
wl_pids+=($!)
start=$(now_ms)
until [[ -S $runtime_dir/wayland-frostwisp ]]; do
  running "${wl_pids[-1]}" || fail "weston ended at start: $(tail -n 5 "$wl_tmp/weston.log")"
  (( $(now_ms) - start < 5000 )) || fail "weston did not start"
  sleep 0.05
done
export WAYLAND_DISPLAY=$runtime_dir/wayland-frostwisp
unset DISPLAY SWAYSOCK

# A screenshot of weston's one output (its screenshooter, allowed by --debug).
weston_shot() {
  rm -f "$wl_tmp"/shots/wayland-screenshot-*.png
  mkdir -p "$wl_tmp/shots"
  (cd "$wl_tmp/shots" && timeout 5 weston-screenshooter >/dev/null 2>&1) || return 1
  mv "$wl_tmp"/shots/wayland-screenshot-*.png "$1" 2>/dev/null
}
top_row=(5 0 256 0 512 0 768 0 1024 0 1274 0)

settings Background=1 Restart=0
start_saver /S
# The fullscreen window covers the output.
sleep 1.5
weston_shot "$wl_tmp/weston.png" || fail "weston took no screenshot"
cp "$wl_tmp/weston.png" "$ARTIFACTS/$script_name-weston.png"
(( $(count_colour "$wl_tmp/weston.png" "$band" "${top_row[@]}") >= 4 )) ||
  fail "no scene on weston (top row: $(pixels "$wl_tmp/weston.png" "${top_row[@]}" | tr '\n' ','))"
note "weston: the fullscreen window shows the scene"
sleep 1
running "$saver_pid" || fail "the saver ended on weston"
kill "$saver_pid"
wait_exit "$saver_pid" 1000 || fail "SIGTERM did not end the saver on weston within a second"
note "weston: SIGTERM ended it after ${waited_ms} ms"

# ---- no compositor at WAYLAND_DISPLAY and no X display: the line names the
# compositor's address and why
python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$wl_tmp/dead" ||
  fail "no socket for the test"
for case in "$wl_tmp/dead:refused" "$wl_tmp/none:no such socket" "$wl_tmp:a folder"; do
  env -u DISPLAY WAYLAND_DISPLAY="${case%%:*}" "$FROSTWISP_BIN" /S 2>"$wl_tmp/saver.err"
  rc=$?
  (( rc == 1 )) && grep -q "no Wayland compositor answers at ${case%%:*}: ${case#*:}" "$wl_tmp/saver.err" ||
    fail "WAYLAND_DISPLAY=${case%%:*}: status $rc, $(cat "$wl_tmp/saver.err")"
done
note "a dead socket, none and a folder at WAYLAND_DISPLAY: said so"

note ok
