#!/usr/bin/env bash
# The idle watcher on GNOME Shell 43, headless with two monitors
# (1920x1080 and 1280x720), whose idle source is Mutter's idle monitor on
# the session bus. The shell starts with the Activities overview open: after
# three seconds without input the scene covers both monitors and the top bar;
# a key ends it; it comes back. While the session manager reports an idle
# inhibition it does not start. When the shell's shield comes on, the saver
# ends; when the shell goes away, the watcher ends with status 1. A watcher
# whose delay is longer than GNOME's blank delay says so. Stand-ins: the display manager (its Version, on a private system bus)
# and the session manager (its InhibitedActions), which cannot run here.
set -uo pipefail
source "$(dirname "$0")/lib/desktop.sh"
test_start=$(now_ms)

desktop_user
start_bus system_bus
system_bus=$bus_address
start_bus bus
export DBUS_SYSTEM_BUS_ADDRESS=$system_bus DBUS_SESSION_BUS_ADDRESS=$bus_address
serve standins "$DESKTOP_LIB/gnome_session.py" standins

# The shell hangs at start now and then: one more try.
start_shell() {
  local tries=0
  as_user HOME="$home" XDG_CONFIG_HOME="$home/.config" DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" \
    DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SYSTEM_BUS_ADDRESS" \
    gnome-shell --headless --wayland --no-x11 --virtual-monitor 1920x1080 --virtual-monitor 1280x720 \
    --wayland-display gnome-wl >"$wl_tmp/shell.log" 2>&1
  shell_pid=$!
  wl_pids+=($shell_pid)
  until grep -q 'GNOME Shell started' "$wl_tmp/shell.log" && [[ -S $runtime_dir/gnome-wl ]]; do
    running "$shell_pid" || return 1
    (( tries++ < 1500 )) || { kill "$shell_pid"; return 1; }
    sleep 0.02
  done
}
start_shell || start_shell || fail "GNOME Shell did not start: $(tail -n 5 "$wl_tmp/shell.log")"
export WAYLAND_DISPLAY=$runtime_dir/gnome-wl
note "GNOME Shell started after $(( $(now_ms) - test_start )) ms"
serve input "$DESKTOP_LIB/gnome_session.py" input
settings Background=1 Restart=0

shots=$wl_tmp/shots
mkdir -p "$shots"
chown "$SWAY_USER:" "$shots"
# The band along the top rows of both monitors, the top bar's included.
covering() {
  local file=$shots/$RANDOM.png
  "$DESKTOP_LIB/gnome_session.py" shot "$file" 2>/dev/null || return 1
  (( $(count_in "$file" 1900x1+10+0 77ACFC) > 1000 && $(count_in "$file" 1260x1+1930+0 77ACFC) > 600 ))
  local ok=$?
  [[ $ok == 0 ]] && cp "$file" "$ARTIFACTS/$script_name-scene.png"
  rm -f "$file"
  return $ok
}
wait_covering() {
  local ms=$1 start
  start=$(now_ms)
  until covering; do
    (( $(now_ms) - start < ms )) || return 1
    sleep 0.3
  done
  waited_ms=$(( $(now_ms) - start ))
}

# ---- GNOME's blank delay (5 minutes unless set) shorter than the watcher's
mkdir -m 700 "$wl_tmp/other-run"
GSETTINGS_BACKEND=memory XDG_RUNTIME_DIR=$wl_tmp/other-run timeout 3 "$FROSTWISP_BIN" --idle 10 2>"$wl_tmp/blank.err"
grep -q 'Screen Blank' "$wl_tmp/blank.err" || fail "no word of GNOME's shorter blank delay: $(cat "$wl_tmp/blank.err")"
(( $(grep -c 'Screen Blank' "$wl_tmp/blank.err") == 1 )) || fail "the blank delay said more than once"
note "$(grep 'Screen Blank' "$wl_tmp/blank.err")"

# ---- with the overview open, the scene covers both monitors and the top bar
"$DESKTOP_LIB/gnome_session.py" overview on || fail "cannot open the overview"
start_watcher --idle 0.05
wait_child 10000 || fail "no saver 10 s after the watcher started: $(cat "$wl_tmp/watcher.err")"
grep -q '(org.gnome.Mutter.IdleMonitor)' "$wl_tmp/watcher.err" || fail "the watcher said: $(cat "$wl_tmp/watcher.err")"
wait_covering 20000 || fail "the scene does not cover both monitors and the top bar"
note "the scene covers both monitors and the top bar ${waited_ms} ms after the saver started"

# ---- a key ends it; it comes back
child=$(saver_child)
say input key 30
wait_exit "$child" 1500 || fail "a key did not end the saver"
note "a key ended the saver after ${waited_ms} ms"
wait_child 10000 || fail "no saver after the next idle period"
note "the saver back ${waited_ms} ms after the key"

# ---- an idle inhibition of the session manager keeps it away
kill -TERM "$watcher"
wait_exit "$watcher" 1000 || fail "the watcher did not end on SIGTERM"
say standins inhibit
start_watcher --idle 0.05
sleep 8
[[ -z $(saver_child) ]] || fail "a saver started while the session manager inhibited idling"
running "$watcher" || fail "the watcher ended: $(cat "$wl_tmp/watcher.err")"
say standins uninhibit
say input move 5 0
wait_child 10000 || fail "no saver after the inhibition ended"
note "the inhibition kept the saver away for 8 s; it came ${waited_ms} ms after the inhibition ended"

# ---- the shield ends it
child=$(saver_child)
"$DESKTOP_LIB/gnome_session.py" shield on || fail "the shell has no shield: $(grep -i lock "$wl_tmp/shell.log" | tail -n 2)"
wait_exit "$child" 5000 || fail "the saver stays under the shield"
note "the shield ended the saver after ${waited_ms} ms"
running "$watcher" || fail "the watcher ended with the shield"

# ---- a shell that goes away ends the watcher with status 1 and one line
kill "$shell_pid"
wait "$shell_pid" 2>/dev/null  # it may crash on SIGTERM, which is not the test's business
wait_exit "$watcher" 5000 || fail "the watcher outlived the shell"
(( exit_status == 1 )) || fail "the watcher's status after the shell went: $exit_status"
note "the shell gone: $(tail -n 1 "$wl_tmp/watcher.err")"
note "done in $(( $(now_ms) - test_start )) ms"
echo "$script_name: ok"
