#!/usr/bin/env bash
# Several monitors. On two heads of different sizes side by side (a nested
# Xephyr): a scene window on each head, exactly over it; each head's bottom
# rows gather snow and its bottom right shows the address; the pointer is
# hidden on both; steps of 2 pixels across the seam leave the saver running
# and a 3-pixel step across it ends it; the dialogs open in the middle of the
# head holding the pointer. On an X server with RandR monitors: a monitor
# that comes or goes while the saver runs gets or loses its scene (the grab
# passing on when the scene that held it goes), and the dialogs open on the
# primary monitor.
set -uo pipefail
source "$(dirname "$0")/lib/x11.sh"

# A program waiting in a modal window may not see SIGTERM: end it for sure.
trap '[[ -n ${saver_pid:-} ]] && kill -9 "$saver_pid" 2>/dev/null; x11_cleanup' EXIT

# The geometries of the visible scene windows, one "WxH+X+Y" a line, sorted.
scene_windows() {
  local w
  for w in $(xdotool search --onlyvisible --name '^Glimmerkin$' 2>/dev/null); do
    xwininfo -id "$w" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
                             /^  Width/ { w = $NF } /^  Height/ { h = $NF } END { print w "x" h "+" x "+" y }'
  done | sort
}

# Waits up to ms for the scene windows to be exactly the given geometries.
wait_for_scenes() {
  local ms=$1 want start
  shift
  want=$(printf '%s\n' "$@" | sort)
  start=$(now_ms)
  while [[ $(scene_windows) != "$want" ]] && (( $(now_ms) - start < ms )); do sleep 0.1; done
  [[ $(scene_windows) == "$want" ]]
}

# Pixels of colour $2 in the rectangle $1 (WxH+X+Y) of the last screenshot.
count_in() { convert "$x11_tmp/screen.png" -crop "$1" +repage txt:- | grep -ci "$2"; }

# Both heads' bottom 8 rows hold snow and their bottom right corners the address.
grounds_and_addresses() {
  import -window root "$x11_tmp/screen.png" 2>/dev/null || return 1
  local box
  for box in 1920x8+0+1072 1280x8+1920+1016; do (( $(count_in "$box" '#FFFFFF') > 300 )) || return 1; done
  for box in 240x30+1680+1050 240x30+2960+994; do (( $(count_in "$box" '#8080FF') > 20 )) || return 1; done
}

# Opens the settings dialog, then its info dialog; "X Y W H" of each in $config_at and $info_at.
open_dialogs() {
  open_settings
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  config_at="$X $Y $WIDTH $HEIGHT"
  open_info
  eval "$(xdotool getwindowgeometry --shell "$info")"
  info_at="$X $Y $WIDTH $HEIGHT"
  kill -9 "$saver_pid"
  wait "$saver_pid" 2>/dev/null
}

# Fails unless the window "X Y W H" has its middle within a pixel of (x, y).
centred_at() {
  local x y w h
  read -r x y w h <<<"$2"
  (( ${#x} > 0 && (2 * x + w - 2 * $3) <= 2 && (2 * x + w - 2 * $3) >= -2 &&
     (2 * y + h - 2 * $4) <= 2 && (2 * y + h - 2 * $4) >= -2 )) ||
    fail "$1 at $x,$y (${w}x$h) is not centred on $3,$4"
}

# ---- two heads: a scene on each, its own ground and address, the pointer hidden
xephyr_session
settings Background=0 Restart=0 maxFl=500 SpeedF=10
xdotool mousemove 2500 500
start_saver /S
wait_for_scenes 5000 1920x1080+0+0 1280x1024+1920+0 || fail "scene windows: $(scene_windows | tr '\n' ' ')"
(( $("$X11_HELPER" cursor) == 0 )) || fail "the pointer shows over the second head"
start=$(now_ms)
until grounds_and_addresses; do
  (( $(now_ms) - start < 30000 )) || { keep_screenshot root no-ground; fail "no ground or no address on a head after 30 s"; }
  sleep 0.5
done
note "both heads have their ground and address after $(( $(now_ms) - start )) ms"
keep_screenshot root two-heads
xdotool key space
wait_exit "$saver_pid" 2000 || fail "a key did not end the saver"

# ---- one pointer path across the seam at x = 1920
xdotool mousemove 1914 500
start_saver /S
wait_for_scenes 5000 1920x1080+0+0 1280x1024+1920+0 || fail "scene windows: $(scene_windows | tr '\n' ' ')"
sleep 0.5
(( $("$X11_HELPER" cursor) == 0 )) || fail "the pointer shows over the first head"
for x in 1916 1918 1920 1922 1924 1922 1920 1918; do
  xdotool mousemove "$x" 500
  sleep 0.05
done
sleep 0.3
running "$saver_pid" || fail "steps of 2 pixels across the seam ended the saver"
xdotool mousemove 1921 500
wait_exit "$saver_pid" 1000 || fail "a 3-pixel step across the seam did not end the saver within a second"
note "3-pixel step across the seam: gone after ${waited_ms} ms"

# ---- the dialogs open on the head holding the pointer (no primary output here)
xdotool mousemove 2500 500
open_dialogs
centred_at "the settings dialog" "$config_at" 2560 512
centred_at "the info dialog" "$info_at" 2560 512
note "dialogs on the second head at $config_at and $info_at"

# ---- RandR monitors that come and go while the saver runs
x11_session 1600x900
xrandr --setmonitor left 800/200x900/200+0+0 screen >/dev/null || fail "xrandr cannot set a monitor"
settings Background=1 Restart=0
band="119 172 252"
xdotool mousemove 400 450
start_saver /S
wait_for_scenes 5000 800x900+0+0 || fail "scene windows: $(scene_windows | tr '\n' ' ')"
xrandr --setmonitor right 800/200x900/200+800+0 none >/dev/null
wait_for_scenes 5000 800x900+0+0 800x900+800+0 || fail "no scene for the new monitor: $(scene_windows | tr '\n' ' ')"
sleep 0.5
(( $(count_colour root "$band" 805 0 1000 0 1200 0 1400 0 1595 0) >= 3 )) || fail "the new monitor's scene shows nothing"
xrandr --delmonitor right >/dev/null
wait_for_scenes 5000 800x900+0+0 || fail "the scene of the monitor that went stays: $(scene_windows | tr '\n' ' ')"
sleep 0.3
running "$saver_pid" || fail "a monitor that went away ended the saver"
(( $("$X11_HELPER" cursor) == 0 )) || fail "the pointer shows after the monitors changed"
xdotool key space
wait_exit "$saver_pid" 2000 || fail "a key did not end the saver after the monitors changed"
note "a monitor came and went; the saver ended on a key"

# ---- the scene that held the grab goes: another one takes it over
xrandr --setmonitor '*right' 800/200x900/200+800+0 none >/dev/null  # listed first
start_saver /S
wait_for_scenes 5000 800x900+0+0 800x900+800+0 || fail "scene windows: $(scene_windows | tr '\n' ' ')"
xrandr --delmonitor right >/dev/null
wait_for_scenes 5000 800x900+0+0 || fail "the first scene stays: $(scene_windows | tr '\n' ' ')"
sleep 0.3
! "$X11_HELPER" grab-keyboard >/dev/null || fail "no scene holds the keyboard after the first one went"
xdotool key space
wait_exit "$saver_pid" 2000 || fail "a key did not end the saver after the first scene went"

# ---- the dialogs open on the primary monitor wherever the pointer is
xrandr --setmonitor '*right' 800/200x900/200+800+0 none >/dev/null
open_dialogs
centred_at "the settings dialog" "$config_at" 1200 450
centred_at "the info dialog" "$info_at" 1200 450

note ok
