#!/usr/bin/env bash
# Turning the idle watcher on and off for every login: --autostart 5 writes an
# XDG autostart entry that desktop-file-validate accepts and whose Exec line
# starts the watcher with five minutes; it replaces a symlink planted at the
# entry's place rather than writing through it; --autostart off removes the
# entry. Bad minutes exit 2 with a line saying what is wanted.
set -uo pipefail
source "$(dirname "$0")/lib/x11.sh"

x11_session 640x480
entry=$XDG_CONFIG_HOME/autostart/frostwisp.desktop

# ---- bad minutes
for bad in 0 -1 abc 1441 1.2.3 ''; do
  "$FROSTWISP_BIN" --idle="$bad" >/dev/null 2>"$x11_tmp/err"
  status=$?
  (( status == 2 )) || fail "--idle=$bad: status $status"
  grep -q 'a number above 0' "$x11_tmp/err" || fail "--idle=$bad said: $(cat "$x11_tmp/err")"
done
"$FROSTWISP_BIN" --autostart 0 >/dev/null 2>&1
(( $? == 2 )) || fail "--autostart 0 did not exit 2"
"$FROSTWISP_BIN" --idle /C >/dev/null 2>&1
(( $? == 2 )) || fail "--idle /C did not exit 2"
note "bad minutes and switches exit 2: $(cat "$x11_tmp/err")"

# ---- the entry, through a symlink planted at its place
mkdir -p "$XDG_CONFIG_HOME/autostart"
echo keep >"$x11_tmp/target"
ln -s "$x11_tmp/target" "$entry"
"$FROSTWISP_BIN" --autostart 5 >"$x11_tmp/out" 2>&1 || fail "--autostart 5 failed: $(cat "$x11_tmp/out")"
grep -q "wrote $entry" "$x11_tmp/out" || fail "--autostart 5 said: $(cat "$x11_tmp/out")"
[[ ! -L $entry && $(cat "$x11_tmp/target") == keep ]] || fail "--autostart wrote through a symlink"
desktop-file-validate "$entry" || fail "desktop-file-validate refuses the entry: $(cat "$entry")"
[[ -z $(find "$XDG_CONFIG_HOME/autostart" -name 'frostwisp.desktop.*') ]] || fail "a temporary file is left"
exec_line=$(sed -n 's/^Exec=//p' "$entry")
note "Exec=$exec_line"

# ---- its Exec line starts the watcher (on this Xvfb)
eval "set -- $exec_line"
"$@" 2>"$x11_tmp/watcher.err" &
watcher=$!
x11_pids+=($watcher)
for _ in $(seq 50); do grep -q 'idle time' "$x11_tmp/watcher.err" && break; sleep 0.1; done
grep -q 'after 5 minutes of idle time' "$x11_tmp/watcher.err" || fail "the Exec line's program said: $(cat "$x11_tmp/watcher.err")"
running "$watcher" || fail "the watcher of the Exec line ended"
kill -TERM "$watcher"
wait_exit "$watcher" 1000 || fail "the watcher did not end on SIGTERM"
note "the Exec line ran the watcher: $(head -n1 "$x11_tmp/watcher.err")"

# ---- off removes it
"$FROSTWISP_BIN" --autostart off >"$x11_tmp/out" 2>&1 || fail "--autostart off failed"
[[ ! -e $entry ]] || fail "--autostart off left the entry"
grep -q "removed $entry" "$x11_tmp/out" || fail "--autostart off said: $(cat "$x11_tmp/out")"
"$FROSTWISP_BIN" --autostart off >"$x11_tmp/out" 2>&1 || fail "a second --autostart off failed"
grep -q 'nothing to remove' "$x11_tmp/out" || fail "a second --autostart off said: $(cat "$x11_tmp/out")"
echo "$script_name: ok"
