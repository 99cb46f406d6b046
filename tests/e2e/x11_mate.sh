#!/usr/bin/env bash
# MATE's screen saver runs Frostwisp from the installed screen-saver entry:
# picked as its one theme, "mate-screensaver-command --activate" shows the
# scene and --deactivate ends the hack. Paused with SIGSTOP for 5 seconds (as
# the unlock dialog does) and resumed, the hack goes on at its usual rate,
# without catching up on the frames it missed.
#
# MATE looks for the hack in its compiled-in folders, /usr/libexec/xscreensaver
# among them: where no hack of that name is there, the test links the built
# program there for its run.
set -uo pipefail
source "$(dirname "$0")/lib/x11.sh"
REQUEST_COUNT=$(dirname "$X11_HELPER")/x_request_count
[[ -x $REQUEST_COUNT ]] || fail "no request counter at $REQUEST_COUNT"

hack_dir=/usr/libexec/xscreensaver
hack_link=
made_dir=
mate_cleanup() {
  x11_cleanup
  [[ -n $hack_link ]] && rm -f "$hack_link"
  [[ -n $made_dir ]] && rmdir "$made_dir" 2>/dev/null
}
trap mate_cleanup EXIT
if [[ ! -e $hack_dir/frostwisp ]]; then
  [[ -d $hack_dir ]] || { mkdir -p "$hack_dir" && made_dir=$hack_dir; } || fail "cannot make $hack_dir"
  ln -s "$FROSTWISP_BIN" "$hack_dir/frostwisp" && hack_link=$hack_dir/frostwisp || fail "cannot link the hack"
fi

x11_session 640x480
# MATE starts its hacks with a few variables only, HOME among them: the whole
# session gets a home of its own.
export HOME=$x11_tmp/home XDG_CONFIG_HOME=$x11_tmp/home/.config XDG_DATA_HOME=$x11_tmp/home/.local/share
mkdir -p "$XDG_CONFIG_HOME/frostwisp"
settings Background=1 Restart=0
band="119 172 252"
top_row=(5 0 100 0 200 0 300 0 400 0 600 0)

# The installed entry, listed from the user's data folder; TryExec finds the
# installed program on PATH.
prefix=$x11_tmp/prefix
cmake --install "$(dirname "$FROSTWISP_BIN")" --prefix "$prefix" >"$x11_tmp/install.log" 2>&1 ||
  fail "cmake --install: $(tail -n 3 "$x11_tmp/install.log")"
mkdir -p "$XDG_DATA_HOME/applications/screensavers"
cp "$prefix/share/applications/screensavers/frostwisp.desktop" "$XDG_DATA_HOME/applications/screensavers/"
export PATH=$prefix/bin:$PATH

dbus-daemon --session --nofork --print-address=1 >"$x11_tmp/bus" 2>/dev/null &
x11_pids+=($!)
start=$(now_ms)
while [[ ! -s $x11_tmp/bus ]] && (( $(now_ms) - start < 5000 )); do sleep 0.02; done
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$x11_tmp/bus")
[[ -n $DBUS_SESSION_BUS_ADDRESS ]] || fail "no session bus"
gsettings set org.mate.screensaver mode single &&
  gsettings set org.mate.screensaver themes "['screensavers-frostwisp']" &&
  gsettings set org.mate.screensaver lock-enabled false || fail "gsettings cannot set MATE's screen saver"
mate-screensaver --no-daemon >"$x11_tmp/mate.log" 2>&1 &
mate=$!
x11_pids+=($mate)
start=$(now_ms)
until mate-screensaver-command --query >/dev/null 2>&1 || (( $(now_ms) - start > 5000 )); do sleep 0.1; done
mate-screensaver-command --activate >/dev/null 2>&1 || fail "mate-screensaver-command --activate: $(cat "$x11_tmp/mate.log")"

start=$(now_ms)
hack=
while [[ -z $hack ]] && (( $(now_ms) - start < 5000 )); do
  hack=$(pgrep -P "$mate" -x frostwisp | head -n1)
  sleep 0.05
done
[[ -n $hack ]] || fail "MATE started no hack: $(tail -n 5 "$x11_tmp/mate.log")"
while (( $(count_colour root "$band" "${top_row[@]}") < 4 )) && (( $(now_ms) - start < 5000 )); do sleep 0.05; done
keep_screenshot root activated
(( $(count_colour root "$band" "${top_row[@]}") >= 4 )) || fail "no scene after --activate"
grep -qx 'XSCREENSAVER_WINDOW=[0-9x]*' <(tr '\0' '\n' <"/proc/$hack/environ") || fail "the hack has no XSCREENSAVER_WINDOW"

# ---- paused and resumed
puts() { "$REQUEST_COUNT" 1 | awk '{ print $4 + $6 }'; }
before=$(puts)
kill -STOP "$hack"
sleep 5
kill -CONT "$hack"
after=$(puts)
note "image puts in a second: $before before the pause, $after after it"
(( before >= 10 )) || fail "only $before frames in a second before the pause"
(( after * 10 >= before * 7 )) || fail "$after frames in the second after the pause, $before before it"
(( after * 10 <= before * 13 )) || fail "$after frames in the second after the pause: it caught up on missed ones"

# ---- deactivated
mate-screensaver-command --deactivate >/dev/null 2>&1
start=$(now_ms)
while running "$hack" && (( $(now_ms) - start < 3000 )); do sleep 0.02; done
running "$hack" && fail "--deactivate did not end the hack"
note "--deactivate: the hack gone after $(( $(now_ms) - start )) ms"

note ok
