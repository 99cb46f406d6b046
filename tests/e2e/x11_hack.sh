#!/usr/bin/env bash
# As an XScreenSaver hack: the scene is drawn into the window it is given
# (-window-id, or XSCREENSAVER_WINDOW with -root), frame after frame; input
# stays with whoever owns it (another client can grab the keyboard, the
# pointer shows, keys and clicks do not end it); the daemon's screenshot is
# the desktop background; SIGTERM ends it within a second with status 0.
set -uo pipefail
source "$(dirname "$0")/lib/x11.sh"

x11_session 800x600
settings Background=1 Restart=0
band="119 172 252"
top_row=(5 0 60 0 120 0 180 0 240 0 315 0)

# Starts a test window 320 x 240 (extra arguments go to the helper); $target.
make_target() {
  rm -f "$x11_tmp/target"
  "$X11_HELPER" window 320 240 "$@" >"$x11_tmp/target" &
  target_pid=$!
  x11_pids+=($target_pid)
  local tries=0
  while [[ ! -s $x11_tmp/target ]] && (( tries++ < 100 )); do sleep 0.02; done
  target=$(cat "$x11_tmp/target")
  [[ -n $target ]] || fail "the test window did not open"
}

# Waits up to 2 seconds until at least 4 of the window's top-row probes have the colour.
wait_colour() {
  local window=$1 colour=$2 start
  start=$(now_ms)
  while (( $(count_colour "$window" "$colour" "${top_row[@]}") < 4 )) && (( $(now_ms) - start < 2000 )); do
    sleep 0.02
  done
  (( $(count_colour "$window" "$colour" "${top_row[@]}") >= 4 )) || fail "$3: no '$colour' in the top row of $window"
}

end_with_sigterm() {
  kill -TERM "$saver_pid"
  wait_exit "$saver_pid" 1000 || fail "$1: SIGTERM did not end it within a second"
  (( exit_status == 0 )) || fail "$1: exit status $exit_status after SIGTERM"
  note "$1: gone ${waited_ms} ms after SIGTERM"
}

# ---- -window-id: frames in the window, input left alone
make_target
xdotool mousemove 500 400
start_saver -window-id "$target"
wait_colour "$target" "$band" "-window-id"
keep_screenshot "$target" window-id
[[ -z $(window_named Glimmerkin) ]] || fail "the hack made a window of its own"
(( $(count_colour root "$band" 400 0 600 0 795 0) == 0 )) || fail "the hack drew outside its window"

import -window "$target" "$x11_tmp/a.png"
sleep 0.2
import -window "$target" "$x11_tmp/b.png"
changed=$(compare -metric AE "$x11_tmp/a.png" "$x11_tmp/b.png" null: 2>&1)
(( ${changed%%.*} > 0 )) || fail "no new frames in the window"

"$X11_HELPER" grab-keyboard >/dev/null || fail "another client cannot grab the keyboard"
(( $("$X11_HELPER" cursor) > 0 )) || fail "the hack hid the pointer"
xdotool mousemove 40 40 key space click 1
sleep 0.3
running "$saver_pid" || fail "input ended the hack"
end_with_sigterm "-window-id"

# ---- the daemon's variable with -root, and its screenshot as the desktop
kill "$target_pid"
wait "$target_pid" 2>/dev/null
settings Background=3 Restart=0
make_target --screenshot 00c000
XSCREENSAVER_WINDOW=$target start_saver -root
wait_colour "$target" "0 192 0" "screenshot"
keep_screenshot "$target" screenshot-background
(( $(count_colour root "0 192 0" 400 0 600 0 795 0) == 0 )) || fail "-root drew into the root window, not the daemon's"
end_with_sigterm "XSCREENSAVER_WINDOW"

# Without a screenshot the desktop background is black.
kill "$target_pid"
wait "$target_pid" 2>/dev/null
make_target
start_saver --window-id="$target"
wait_colour "$target" "0 0 0" "no screenshot"
kill -INT "$saver_pid"
wait_exit "$saver_pid" 1000 || fail "SIGINT did not end it within a second"
(( exit_status == 0 )) || fail "exit status $exit_status after SIGINT"

# ---- a window that does not exist
start_saver -window-id 0x3fffff0
wait_exit "$saver_pid" 1000 || fail "a missing window did not end it at once"
(( exit_status != 0 )) || fail "a missing window gave exit status 0"
[[ $(wc -l <"$x11_tmp/saver.err") -eq 1 ]] || fail "expected one line on standard error: $(cat "$x11_tmp/saver.err")"

note ok
