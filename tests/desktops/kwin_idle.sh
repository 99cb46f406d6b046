#!/usr/bin/env bash
# The idle watcher on KWin 5.27, headless with two 1920x1080 outputs, whose
# idle source is ext_idle_notifier_v1: after three seconds without input the
# scene covers both outputs; a key ends it; it comes back; one click with the
# pointer left where it was ends it; when KWin's lock screen comes on the
# saver ends. Input through KWin's fake input, pictures through its
# screenshot interface.
set -uo pipefail
source "$(dirname "$0")/lib/desktop.sh"
test_start=$(now_ms)

desktop_user
start_bus bus
export DBUS_SESSION_BUS_ADDRESS=$bus_address
# The packaged binary carries a file capability that these machines refuse
# at exec; a plain copy of it runs.
mkdir -p "$wl_tmp/kwin"
cp /usr/bin/kwin_wayland "$wl_tmp/kwin/kwin_wayland"
as_user HOME="$home" XDG_CONFIG_HOME="$home/.config" DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" \
  KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 \
  "$wl_tmp/kwin/kwin_wayland" --virtual --width 1920 --height 1080 --output-count 2 --socket kwin-wl \
  >"$wl_tmp/kwin.log" 2>&1
kwin_pid=$!
wl_pids+=($kwin_pid)
tries=0
until [[ -S $runtime_dir/kwin-wl ]] && [[ $("$DESKTOP_LIB/kwin_session.py" locked 2>/dev/null) == no ]]; do
  running "$kwin_pid" || fail "KWin ended at start: $(tail -n 5 "$wl_tmp/kwin.log")"
  (( tries++ < 1500 )) || fail "KWin did not start: $(tail -n 5 "$wl_tmp/kwin.log")"
  sleep 0.02
done
export WAYLAND_DISPLAY=$runtime_dir/kwin-wl
note "KWin started after $(( $(now_ms) - test_start )) ms"
# KWin offers its fake input only to clients of its own user.
serve fake setpriv --reuid="$SWAY_USER" --regid="$SWAY_USER" --clear-groups \
  env -i XDG_RUNTIME_DIR="$runtime_dir" WAYLAND_DISPLAY="$WAYLAND_DISPLAY" "$WAYLAND_HELPER" fake
settings Background=1 Restart=0

covering() {
  local file=$wl_tmp/shot.png
  "$DESKTOP_LIB/kwin_session.py" shot "$file" 2>/dev/null || return 1
  (( $(count_in "$file" 1900x1+10+0 77ACFC) > 1000 && $(count_in "$file" 1900x1+1930+0 77ACFC) > 1000 ))
}
wait_covering() {
  local ms=$1 start
  start=$(now_ms)
  until covering; do
    (( $(now_ms) - start < ms )) || return 1
    sleep 0.3
  done
  waited_ms=$(( $(now_ms) - start ))
  cp "$wl_tmp/shot.png" "$ARTIFACTS/$script_name-scene.png"
}

# ---- the scene on both outputs after the idle period
start_watcher --idle 0.05
wait_child 10000 || fail "no saver 10 s after the watcher started: $(cat "$wl_tmp/watcher.err")"
grep -q '(ext_idle_notifier_v1)' "$wl_tmp/watcher.err" || fail "the watcher said: $(cat "$wl_tmp/watcher.err")"
wait_covering 15000 || fail "the scene does not cover both outputs"
note "the scene covers both outputs ${waited_ms} ms after the saver started"

# ---- a key ends it; it comes back
child=$(saver_child)
say fake key 30
wait_exit "$child" 1500 || fail "a key did not end the saver"
note "a key ended the saver after ${waited_ms} ms"
wait_child 10000 || fail "no saver after the next idle period"
note "the saver back ${waited_ms} ms after the key"

# ---- one click, the pointer left where it was when the saver mapped; three
# times, since KWin has been seen to give such a click to no one
for round in 1 2 3; do
  wait_child 10000 || fail "no saver before click $round"
  child=$(saver_child)
  wait_covering 15000 || fail "the scene before click $round does not cover both outputs"
  say fake click
  wait_exit "$child" 1500 || fail "click $round with the pointer in place did not end the saver"
  note "click $round ended the saver after ${waited_ms} ms"
done

# ---- KWin's lock screen ends it
wait_child 10000 || fail "no saver after the clicks"
child=$(saver_child)
"$DESKTOP_LIB/kwin_session.py" lock || fail "KWin does not lock"
wait_exit "$child" 5000 || fail "the saver stays under KWin's lock screen"
note "the lock screen ended the saver after ${waited_ms} ms"
running "$watcher" || fail "the watcher ended with the lock"
note "done in $(( $(now_ms) - test_start )) ms"
echo "$script_name: ok"
