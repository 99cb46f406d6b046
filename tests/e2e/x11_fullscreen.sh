#!/usr/bin/env bash
# The full-screen saver on a real X server: it covers the screen, shows its
# first frame within a second, hides the pointer, keeps the X screen saver
# from blanking while it runs, survives pointer steps of 2 pixels, and ends
# within a second on a 3-pixel step, a key or a click, leaving the display as
# it found it; at the end of a session (SIGTERM and the server gone at once)
# it ends without crashing.
set -uo pipefail
source "$(dirname "$0")/lib/x11.sh"

x11_session 800x600
# The blue gradient, fixed; its top band is this colour.
settings Background=1 Restart=0
band="119 172 252"
top_row=(5 0 150 0 300 0 450 0 600 0 795 0)

# Shows the scene: at least 4 of the 6 top-row probes in the band colour
# (flakes may cover the others).
showing() { (( $(count_colour root "$band" "${top_row[@]}") >= 4 )); }

# Starts the saver and waits for its first frame; $first_frame_ms.
start_and_wait_for_frame() {
  local start
  start=$(now_ms)
  start_saver "$@"
  while ! showing && (( $(now_ms) - start < 3000 )); do sleep 0.01; done
  first_frame_ms=$(( $(now_ms) - start ))
  showing || fail "no scene on the screen after ${first_frame_ms} ms ($(cat "$x11_tmp/saver.err"))"
}

# Nothing of the program left, and the pointer shown again.
display_as_found() {
  [[ -z $(window_named Glimmerkin) ]] || fail "$1: the scene window is still there"
  (( $("$X11_HELPER" cursor) > 0 )) || fail "$1: the pointer stays hidden"
}

# ---- covering the screen, the first frame, the pointer, the X screen saver
xdotool mousemove 400 300
(( $("$X11_HELPER" cursor) > 0 )) || fail "the probe sees no pointer before the saver starts"
(( $(count_colour root "$band" "${top_row[@]}") == 0 )) || fail "the band colour is on the screen before the saver"

start_and_wait_for_frame /S
(( first_frame_ms < 1000 )) || fail "first frame after ${first_frame_ms} ms"
note "first frame after ${first_frame_ms} ms"
keep_screenshot root first-frame

window=$(window_named Glimmerkin)
[[ -n $window ]] || fail "no window named Glimmerkin"
info=$(xwininfo -id "$window")
grep -q 'Absolute upper-left X:  0$' <<<"$info" && grep -q 'Absolute upper-left Y:  0$' <<<"$info" &&
  grep -q 'Width: 800$' <<<"$info" && grep -q 'Height: 600$' <<<"$info" || fail "window does not cover the screen: $info"
grep -q 'Map State: IsViewable' <<<"$info" || fail "window not viewable"
grep -q 'Override Redirect State: yes' <<<"$info" || fail "window is left to a window manager"
(( $("$X11_HELPER" cursor) == 0 )) || fail "the pointer shows over the scene"

# The scene moves: two pictures a few frames apart differ.
import -window root "$x11_tmp/a.png"
sleep 0.2
import -window root "$x11_tmp/b.png"
diff_pixels=$(compare -metric AE "$x11_tmp/a.png" "$x11_tmp/b.png" null: 2>&1)
(( ${diff_pixels%%.*} > 0 )) || fail "the scene stands still"

# Another client's window opening over it goes under it again.
"$X11_HELPER" window 400 100 >/dev/null &
intruder=$!
x11_pids+=($intruder)
sleep 0.5
(( $(count_colour root "128 128 128" 20 20 200 50 400 100) == 0 )) || fail "another window stays above the scene"
kill "$intruder"
wait "$intruder" 2>/dev/null

# Idle for longer than the X screen saver's timeout: it must not come on.
xset s 2 0
sleep 3
[[ $("$X11_HELPER" saver-state) != on ]] || fail "the X screen saver came on while the saver ran"
showing || fail "the scene is gone after idling"

# ---- pointer steps
x=400
y=300
for step in 1 2 3 4 5 6 7 8; do
  if (( step % 2 )); then x=$((x + 2)); else y=$((y + 2)); fi
  xdotool mousemove $x $y
  sleep 0.05
done
xdotool mousemove $((x - 2)) $((y - 2))
sleep 0.3
running "$saver_pid" || fail "steps of 2 pixels ended the saver"
keep_screenshot root after-small-steps
xdotool mousemove $((x + 1)) $((y - 2))
wait_exit "$saver_pid" 1000 || fail "a 3-pixel step did not end the saver within a second"
(( exit_status == 0 )) || fail "exit status $exit_status after the 3-pixel step"
note "3-pixel step: gone after ${waited_ms} ms"
display_as_found "after the 3-pixel step"

# The X screen saver is back in charge once the process has gone.
sleep 3
[[ $("$X11_HELPER" saver-state) == on ]] || fail "the X screen saver stays suspended after the saver ended"
xset s off
xset s reset

# ---- a key
start_and_wait_for_frame
xdotool key space
wait_exit "$saver_pid" 1000 || fail "a key did not end the saver within a second"
(( exit_status == 0 )) || fail "exit status $exit_status after a key"
note "key: gone after ${waited_ms} ms"
display_as_found "after a key"

# ---- a click
start_and_wait_for_frame /s
xdotool click 1
wait_exit "$saver_pid" 1000 || fail "a click did not end the saver within a second"
(( exit_status == 0 )) || fail "exit status $exit_status after a click"
note "click: gone after ${waited_ms} ms"
display_as_found "after a click"

# ---- the session ends: SIGTERM and the X server gone at the same moment.
# The saver may be unloading its windows when the connection goes; it must
# end with a status, not crash.
for round in 1 2 3; do
  x11_session 800x600
  settings Background=1 Restart=0
  start_and_wait_for_frame /s
  server=${x11_pids[-2]}
  kill -TERM "$saver_pid"
  kill "$server"
  wait_exit "$saver_pid" 3000 || fail "session end $round: still running after 3 s"
  (( exit_status <= 1 )) || fail "session end $round: exit status $exit_status ($(head -c 300 "$x11_tmp/saver.err"))"
done
note "session end: status $exit_status each time"

note ok
