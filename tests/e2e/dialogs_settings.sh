#!/usr/bin/env bash
# The settings dialog as a user meets it: "/C" opens it centred on the screen;
# OK without changes writes exactly the eight defaults; unchecking Random and
# picking "Gray / Grau" stores Background 2; the close box leaves the file as
# it was; Alt+D and Alt+O put back the defaults and store them.
set -uo pipefail
source "$(dirname "$0")/lib/x11.sh"

# A program waiting in a modal window may not see SIGTERM: end it for sure.
trap '[[ -n ${saver_pid:-} ]] && kill -9 "$saver_pid" 2>/dev/null; x11_cleanup' EXIT
x11_session 1024x768
close_window() { python3 "$FROSTWISP_ROOT/tests/e2e/lib/close_window.py" "$1"; }
ini=$XDG_CONFIG_HOME/frostwisp/frostwisp.ini

# The dialog closes and the program ends of itself.
expect_end() {
  wait_exit "$saver_pid" 3000 || fail "the program is still running after $1"
  [[ $exit_status -eq 0 ]] || fail "exit status $exit_status after $1"
  ! grep -E 'Gtk-|GLib-|Gdk-' "$x11_tmp/saver.err" || fail "GTK complained"
}

# The settings file's [Settings] lines, sorted, on one line.
stored() { tr -d '\r' <"$ini" | grep -v '^\[' | sort | tr '\n' ' '; }

defaults='Background=4 Date=1 Restart=1 Size=6 SpeedF=6 Time=1 maxFl=110 rTime=600 '

# ---- opens centred; OK without changes writes the defaults
open_settings
eval "$(xdotool getwindowgeometry --shell "$dialog")"
(( WIDTH == 390 && HEIGHT == 310 )) || fail "the dialog is ${WIDTH}x$HEIGHT, not 390x310"
(( X == (1024 - 390) / 2 && Y == (768 - 310) / 2 )) || fail "the dialog is at $X,$Y, not centred"
keep_screenshot "$dialog" opened
click_twips $(( 4440 + 600 )) $(( 3480 + 487 ))   # OK
expect_end "OK"
[[ $(stored) == "$defaults" ]] || fail "OK stored: $(stored)"
[[ $(grep -c '^\[' "$ini") -eq 1 ]] || fail "more than one section in the file"
note "centred at $X,$Y; OK stored the eight defaults"

# ---- Random off, "Gray / Grau", OK: Background 2
rm -f "$ini"
open_settings
click_twips $(( 3000 + 240 + 90 )) $(( 120 + 1560 + 97 ))   # chkRandom
click_twips $(( 3000 + 240 + 90 )) $(( 120 + 900 + 127 ))  # optBack(2)
keep_screenshot "$dialog" gray
click_twips $(( 4440 + 600 )) $(( 3480 + 487 ))
expect_end "OK"
grep -qx 'Background=2' <(tr -d '\r' <"$ini") || fail "Background not 2: $(stored)"
[[ $(stored) == "${defaults/Background=4/Background=2}" ]] || fail "other settings changed: $(stored)"
note "Random off and Gray stored Background 2"

# ---- the close box writes nothing
settings Background=1 maxFl=150 rTime=1800
cp "$ini" "$x11_tmp/before.ini"
open_settings
click_twips $(( 3000 + 240 + 90 )) $(( 120 + 1560 + 97 ))   # chkRandom on
click_twips $(( 120 + 240 + 2000 )) $(( 120 + 480 + 100 ))  # HScroll(0): the track right of the thumb
close_window "$dialog"
expect_end "the close box"
cmp -s "$x11_tmp/before.ini" "$ini" || fail "the close box changed the file: $(stored)"
note "the close box left the file as it was"

# ---- access keys: Alt+D puts the defaults back, Alt+O stores them
open_settings
xdotool windowfocus --sync "$dialog" 2>/dev/null || xdotool windowfocus "$dialog"
sleep 0.2
xdotool key alt+d
sleep 0.6  # a button pressed by its key shows pressed for a moment, then acts
keep_screenshot "$dialog" defaults
xdotool key alt+o
expect_end "Alt+O"
[[ $(stored) == "$defaults" ]] || fail "Alt+D, Alt+O stored: $(stored)"
note "Alt+D and Alt+O stored the defaults"
echo "$script_name: ok"
