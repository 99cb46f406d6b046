#!/usr/bin/env bash
# The saver on KWin 6 with two outputs: KWin runs nested in an Xvfb (its
# screenshot interface needs a GPU; the Xvfb's root shows both outputs), keys
# come from the Xvfb's keyboard as a person's would. The scene covers both
# outputs; a window that opens while it runs takes KWin's keyboard focus,
# and a key still ends the saver.
set -uo pipefail
source "$(dirname "$0")/../e2e/lib/sway.sh"

command -v kwin_wayland >/dev/null || fail "no kwin_wayland"
sway_user
private_runtime_dir
display=:$(( 90 + RANDOM % 100 ))
as_user Xvfb "$display" -screen 0 3840x1080x24 -nolisten tcp -ac >"$wl_tmp/xvfb.log" 2>&1
wl_pids+=($!)
export DISPLAY=$display
start=$(now_ms)
until xdpyinfo >/dev/null 2>&1; do
  (( $(now_ms) - start < 5000 )) || fail "Xvfb did not start: $(tail -n 3 "$wl_tmp/xvfb.log")"
  sleep 0.05
done
# A session bus of its own, and KWin itself as the process the test ends
# (behind dbus-run-session it would outlive the test).
as_user dbus-daemon --config-file=/usr/share/dbus-1/session.conf --nofork --address="unix:path=$runtime_dir/bus"
wl_pids+=($!)
until [[ -S $runtime_dir/bus ]]; do sleep 0.05; done
as_user DISPLAY="$display" DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime_dir/bus" kwin_wayland \
  --x11-display "$display" --width 1920 --height 1080 --output-count 2 --socket wayland-kwin --no-lockscreen \
  >"$wl_tmp/kwin.log" 2>&1
wl_pids+=($!)
# KWin shows each output in an X window of its own, both at the origin: the
# second goes beside the first.
until [[ $(xwininfo -root -children | grep -c 'KDE Wayland Compositor') == 2 ]]; do
  running "${wl_pids[-1]}" || fail "KWin ended at start: $(tail -n 5 "$wl_tmp/kwin.log")"
  (( $(now_ms) - start < 15000 )) || fail "KWin shows no two outputs: $(tail -n 5 "$wl_tmp/kwin.log")"
  sleep 0.1
done
xdotool windowmove "$(xwininfo -root -children | awk '/KDE Wayland Compositor/ { print $1; exit }')" 1920 0
export WAYLAND_DISPLAY=$runtime_dir/wayland-kwin XDG_CONFIG_HOME=$wl_tmp/config XDG_STATE_HOME=$wl_tmp/state
mkdir -p "$XDG_CONFIG_HOME/frostwisp"
sleep 1

# Both outputs show the band: 4 of 5 probes along the top row of each half of
# the Xvfb's root.
covered() {
  import -window root "$wl_tmp/root.png" 2>/dev/null || return 1
  (( $(count_colour "$wl_tmp/root.png" "$band" 5 0 500 0 1000 0 1500 0 1910 0) >= 4 &&
     $(count_colour "$wl_tmp/root.png" "$band" 1925 0 2420 0 2920 0 3420 0 3830 0) >= 4 ))
}

settings Background=1 Restart=0
start_saver /S
start=$(now_ms)
until covered; do
  running "$saver_pid" || fail "the saver ended"
  (( $(now_ms) - start < 5000 )) || { cp "$wl_tmp/root.png" "$ARTIFACTS/$script_name-outputs.png"; fail "the scene does not cover both outputs"; }
  sleep 0.2
done
cp "$wl_tmp/root.png" "$ARTIFACTS/$script_name-outputs.png"
note "the scene covers both outputs after $(( $(now_ms) - start )) ms"

# A window opens while the saver runs and takes the keyboard.
as_user WAYLAND_DISPLAY=wayland-kwin weston-simple-shm >"$wl_tmp/window.log" 2>&1
wl_pids+=($!)
sleep 1.5
running "${wl_pids[-1]}" || fail "the window did not open: $(tail -n 3 "$wl_tmp/window.log")"
running "$saver_pid" || fail "the saver ended when the window opened"
covered || fail "the window covers the scene"
xdotool key a
wait_exit "$saver_pid" 1500 || fail "a key did not end the saver after a window had opened"
(( exit_status == 0 )) || fail "exit status $exit_status after the key"
note "a window opened, and a key still ended the saver after ${waited_ms} ms"
note ok
