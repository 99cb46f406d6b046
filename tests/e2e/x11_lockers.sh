#!/usr/bin/env bash
# Beside the X server's own screen saver and the lockers that ride on it,
# with "xset s 3 3": with the settings dialog or a preview open the server's
# saver still comes on at its timeout, and xss-lock locks then; a full-screen
# saver that is killed leaves the server's saver switched on; as xss-lock's
# notifier the full-screen saver shows once the server's saver came on, above
# the window the server covers the screen with, and the locker still starts
# one cycle later. xss-lock asks the login manager for its session: a
# stand-in serves it on a private bus.
set -uo pipefail
source "$(dirname "$0")/lib/x11.sh"

x11_session 640x480
settings Background=1 Restart=0
band="119 172 252"
top_row=(5 0 100 0 200 0 300 0 400 0 600 0)

# The private bus and the login manager on it.
dbus-daemon --session --nofork --print-address=1 >"$x11_tmp/bus" 2>/dev/null &
x11_pids+=($!)
start=$(now_ms)
while [[ ! -s $x11_tmp/bus ]] && (( $(now_ms) - start < 5000 )); do sleep 0.02; done
export DBUS_SYSTEM_BUS_ADDRESS=$(head -n1 "$x11_tmp/bus")
[[ -n $DBUS_SYSTEM_BUS_ADDRESS ]] || fail "no private bus"
unset XDG_SESSION_ID
/usr/bin/python3 "$(dirname "$0")/lib/logind_standin.py" "$DBUS_SYSTEM_BUS_ADDRESS" $$ >"$x11_tmp/logind" 2>&1 &
x11_pids+=($!)
start=$(now_ms)
until grep -q ready "$x11_tmp/logind" || (( $(now_ms) - start > 5000 )); do sleep 0.02; done
grep -q ready "$x11_tmp/logind" || fail "the login manager stand-in did not start: $(cat "$x11_tmp/logind")"

# The locker writes when it started and stays, as a locker does.
cat >"$x11_tmp/locker" <<LOCKER
#!/bin/sh
echo \$(( \$(date +%s%N) / 1000000 )) >>"$x11_tmp/locked"
exec sleep 60
LOCKER
chmod +x "$x11_tmp/locker"

state() { "$X11_HELPER" saver-state; }
# Waits up to ms for the server's saver to be in the state; the time since
# $since in $at_ms.
wait_state() {
  while [[ $(state) != "$1" ]] && (( $(now_ms) - since < $2 )); do sleep 0.05; done
  at_ms=$(( $(now_ms) - since ))
  [[ $(state) == "$1" ]]
}
wait_locked() {
  while [[ ! -s $x11_tmp/locked ]] && (( $(now_ms) - since < $1 )); do sleep 0.05; done
  [[ -s $x11_tmp/locked ]] && locked_ms=$(( $(head -n1 "$x11_tmp/locked") - since ))
}
# Ends a background process of this script and waits for it.
end() { kill "$1" 2>/dev/null; wait "$1" 2>/dev/null; }
xset s 3 3

# ---- the settings dialog open, xss-lock without a notifier
open_settings
xss-lock -- "$x11_tmp/locker" 2>"$x11_tmp/xss.err" &
xss=$!
x11_pids+=($xss)
sleep 0.3
running "$xss" || fail "xss-lock did not start: $(cat "$x11_tmp/xss.err")"
xset s reset
since=$(now_ms)
wait_state on 4500 || fail "with the settings dialog open the server's saver did not come on"
(( at_ms >= 2500 )) || fail "the server's saver came on after $at_ms ms, before its timeout"
wait_locked 1500 || fail "with the settings dialog open xss-lock did not lock"
note "settings dialog: the server's saver on after $at_ms ms, locked after $locked_ms ms"
running "$saver_pid" || fail "the settings dialog went"
end "$xss"
end "$saver_pid"
rm -f "$x11_tmp/locked"

# ---- a preview
"$X11_HELPER" window 160 120 >"$x11_tmp/target" &
x11_pids+=($!)
start=$(now_ms)
while [[ ! -s $x11_tmp/target ]] && (( $(now_ms) - start < 2000 )); do sleep 0.02; done
start_saver /P "$(cat "$x11_tmp/target")"
sleep 0.3
xset s reset
since=$(now_ms)
wait_state on 4500 || fail "with a preview running the server's saver did not come on"
(( at_ms >= 2500 )) || fail "the server's saver came on after $at_ms ms, before its timeout"
note "preview: the server's saver on after $at_ms ms"
running "$saver_pid" || fail "the preview went"
end "$saver_pid"

# ---- the full-screen saver killed: the server's saver comes on again
xset s reset
start_saver /S
sleep 1
kill -KILL "$saver_pid"
wait "$saver_pid" 2>/dev/null
xset s reset
since=$(now_ms)
wait_state on 4500 || fail "after the saver was killed the server's saver stayed off"
note "killed saver: the server's saver on after $at_ms ms"

# ---- the full-screen saver as xss-lock's notifier, over the server's saver
# window ("noblank": Xvfb then tiles a window over every other one)
xset s noblank
xset s reset
xss-lock -n "$FROSTWISP_BIN /S" -- "$x11_tmp/locker" 2>"$x11_tmp/xss.err" &
xss=$!
x11_pids+=($xss)
since=$(now_ms)
wait_state on 4500 || fail "the server's saver did not come on"
on_ms=$at_ms
while (( $(count_colour root "$band" "${top_row[@]}") < 4 )) && (( $(now_ms) - since < on_ms + 2000 )); do sleep 0.05; done
(( $(count_colour root "$band" "${top_row[@]}") >= 4 )) || fail "no scene after the server's saver came on"
keep_screenshot root notifier
notifier=$(pgrep -P "$xss" | head -n1)
[[ -n $notifier ]] || fail "xss-lock runs no notifier"
[[ $(state) == on ]] || fail "the notifier switched the server's saver off"
wait_locked 7000 || fail "the locker did not start: $(cat "$x11_tmp/xss.err")"
cycle_ms=$(( locked_ms - on_ms ))
note "notifier: the server's saver on after $on_ms ms, the locker started $cycle_ms ms later"
(( cycle_ms >= 2000 && cycle_ms <= 4500 )) || fail "the locker started $cycle_ms ms after the saver, not one cycle (3 s)"
start=$(now_ms)
while running "$notifier" && (( $(now_ms) - start < 2000 )); do sleep 0.05; done
running "$notifier" && fail "the saver did not end when the locker started"
end "$xss"

note ok
