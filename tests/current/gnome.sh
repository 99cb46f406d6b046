#!/usr/bin/env bash
# The saver on GNOME Shell (headless, two virtual monitors), which offers no
# layer shell: with the Activities overview open when it starts, the scene
# still covers both monitors (the overview closes first); a window that opens
# while it runs takes the focus and comes over the scene, and the saver ends
# rather than run on unseen beneath it.
set -uo pipefail
source "$(dirname "$0")/../e2e/lib/sway.sh"

command -v gnome-shell >/dev/null || fail "no gnome-shell"
sway_user
private_runtime_dir

# Runs a command as the shell's user on the shell's session bus, now.
in_session() {
  (cd / && setpriv --reuid="$SWAY_USER" --regid="$SWAY_USER" --clear-groups env -i PATH=/usr/bin:/bin \
    HOME="$wl_tmp" XDG_RUNTIME_DIR="$runtime_dir" DBUS_SESSION_BUS_ADDRESS="$(cat "$runtime_dir/session_bus")" "$@")
}
overview() {
  in_session gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell \
    -m org.freedesktop.DBus.Properties."$@" 2>/dev/null
}

# The shell wants a system bus: an empty one of its own.
as_user dbus-daemon --config-file=/usr/share/dbus-1/session.conf --nofork --address="unix:path=$runtime_dir/system_bus"
wl_pids+=($!)
# A session bus of its own, and the shell itself as the process the test ends
# (behind dbus-run-session it would outlive the test).
as_user dbus-daemon --config-file=/usr/share/dbus-1/session.conf --nofork --address="unix:path=$runtime_dir/bus"
wl_pids+=($!)
until [[ -S $runtime_dir/bus ]]; do sleep 0.05; done
# About one start in fifteen hangs: one more try.
for try in 1 2; do
  rm -f "$runtime_dir/session_bus"
  as_user DBUS_SYSTEM_BUS_ADDRESS="unix:path=$runtime_dir/system_bus" DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime_dir/bus" \
    sh -c 'echo "$DBUS_SESSION_BUS_ADDRESS" >"$XDG_RUNTIME_DIR/session_bus"; exec gnome-shell --headless --wayland --no-x11 \
      --virtual-monitor 1920x1080 --virtual-monitor 1280x720 --wayland-display wayland-gnome' >"$wl_tmp/gnome.log" 2>&1
  wl_pids+=($!)
  start=$(now_ms)
  until [[ -s $runtime_dir/session_bus ]] && overview Get org.gnome.Shell OverviewActive >/dev/null; do
    running "${wl_pids[-1]}" && (( $(now_ms) - start < 30000 )) || break
    sleep 0.2
  done
  overview Get org.gnome.Shell OverviewActive >/dev/null && break
  kill "${wl_pids[-1]}" 2>/dev/null
  (( try == 2 )) && fail "GNOME Shell did not start: $(tail -n 5 "$wl_tmp/gnome.log")"
done
export WAYLAND_DISPLAY=wayland-gnome XDG_CONFIG_HOME=$wl_tmp/config XDG_STATE_HOME=$wl_tmp/state
mkdir -p "$XDG_CONFIG_HOME/frostwisp"
chmod -R a+rwX "$XDG_CONFIG_HOME"
note "GNOME Shell started after $(( $(now_ms) - start )) ms"

# A picture of both monitors side by side (3200x1080), through the shell's
# screenshot interface, which answers only the owner of this name.
gnome_shot() {
  in_session python3 - "$1" <<'EOF'
import sys, dbus
bus = dbus.SessionBus()
bus.request_name("org.gnome.Screenshot")
shell = bus.get_object("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot")
ok, _ = shell.Screenshot(False, False, sys.argv[1], dbus_interface="org.gnome.Shell.Screenshot")
sys.exit(0 if ok else 1)
EOF
}
# The band along the top row of each monitor (probes clear of the shell's
# notification banner at the top middle of the first).
covered() {
  rm -f "$runtime_dir/shot.png"
  gnome_shot "$runtime_dir/shot.png" || return 1
  cp "$runtime_dir/shot.png" "$wl_tmp/shot.png"
  (( $(count_colour "$wl_tmp/shot.png" "$band" 5 0 300 0 1300 0 1600 0 1910 0) >= 4 &&
     $(count_colour "$wl_tmp/shot.png" "$band" 1925 0 2200 0 2560 0 2900 0 3190 0) >= 4 ))
}

overview Set org.gnome.Shell OverviewActive "<true>" >/dev/null || fail "cannot open the overview"
sleep 1
[[ $(overview Get org.gnome.Shell OverviewActive) == "(<true>,)" ]] || fail "the overview did not open"
settings Background=1 Restart=0
# The saver runs as the session's user, as a desktop starts it.
as_user WAYLAND_DISPLAY=wayland-gnome XDG_CONFIG_HOME="$XDG_CONFIG_HOME" XDG_STATE_HOME="$XDG_STATE_HOME" \
  DBUS_SESSION_BUS_ADDRESS="$(cat "$runtime_dir/session_bus")" "$FROSTWISP_BIN" /S 2>"$wl_tmp/saver.err"
saver_pid=$!
wl_pids+=($saver_pid)
start=$(now_ms)
until covered; do
  running "$saver_pid" || fail "the saver ended"
  (( $(now_ms) - start < 8000 )) || {
    cp "$wl_tmp/shot.png" "$ARTIFACTS/$script_name-overview.png" 2>/dev/null
    fail "with the overview open at start the scene does not cover both monitors"
  }
  sleep 0.3
done
cp "$wl_tmp/shot.png" "$ARTIFACTS/$script_name-monitors.png"
note "the overview was open: the scene covers both monitors after $(( $(now_ms) - start )) ms"

as_user WAYLAND_DISPLAY=wayland-gnome weston-simple-shm >"$wl_tmp/window.log" 2>&1
wl_pids+=($!)
wait_exit "$saver_pid" 3000 || {
  covered || fail "a window opened over the scene, and the saver runs on unseen"
  fail "a window opened, and the saver runs on"
}
(( exit_status == 0 )) || fail "exit status $exit_status when a window opened"
note "a window opened: the saver ended after ${waited_ms} ms"
note ok
