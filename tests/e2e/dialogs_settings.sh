#!/usr/bin/env bash
# The settings dialog as a user meets it: "/C" opens it centred on the screen;
# OK without changes writes exactly the eight defaults; unchecking Random and
# picking "Gray / Grau" stores Background 2; the scroll bars move by their
# arrows (also held), keys, wheel and track; the close box leaves the file as
# it was; Alt+D and Alt+O put back the defaults and store them; at 200 % the
# dialog is twice as large.
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
width_96=$WIDTH height_96=$HEIGHT
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

# ---- the bars as a person moves them: an arrow, Page Up, the wheel, the
# track, and the minutes' tiny bar by its arrows and by Home and End
focus_dialog() { xdotool windowfocus --sync "$dialog" 2>/dev/null || xdotool windowfocus "$dialog"; sleep 0.2; }
vsc_up() { click_twips 1927 4020; }     # vscTime: 1800, 3960 twips into the window, 255 square
vsc_down() { click_twips 1927 4150; }
ok() { click_twips $(( 4440 + 600 )) $(( 3480 + 487 )); }
rm -f "$ini"
open_settings
focus_dialog
click_twips 2460 700                    # HScroll(0)'s right arrow: 50 -> 55
xdotool key Tab Page_Up                 # the focus goes on to HScroll(1): 50 -> 30
xdotool mousemove --window "$dialog" $(( 1260 / 15 )) $(( 1900 / 15 )) click 5  # HScroll(2), a notch down: 55
sleep 0.2
click_twips 960 1900                    # HScroll(2)'s track left of the thumb: 35
vsc_up; vsc_up; vsc_up                  # 10 minutes -> 13
keep_screenshot "$dialog" bars
ok
expect_end "OK after moving the bars"
expected="Background=4 Date=1 Restart=1 Size=4.8 SpeedF=4.4 Time=1 maxFl=119 rTime=780 "
[[ $(stored) == "$expected" ]] || fail "after moving the bars: $(stored), not $expected"
note "an arrow, Page Up, a wheel notch, the track and the minutes' up arrow three times were stored"

open_settings
focus_dialog
xdotool mousemove --window "$dialog" $(( 2460 / 15 )) $(( 700 / 15 )) mousedown 1
sleep 1.5                               # held: the arrow repeats
xdotool mouseup 1
vsc_down                                # the bar takes the focus: 9 minutes
xdotool key End                         # position 99: 1 minute
ok
expect_end "OK after End"
grep -qx 'rTime=60' <(tr -d '\r' <"$ini") || fail "End did not reach 1 minute: $(stored)"
max=$(tr -d '\r' <"$ini" | sed -n 's/^maxFl=//p')
(( max > 119 )) || fail "a held arrow moved the count to $max, not further than one step"
open_settings
focus_dialog
vsc_up
xdotool key Home                        # position 1: 99 minutes
ok
expect_end "OK after Home"
grep -qx 'rTime=5940' <(tr -d '\r' <"$ini") || fail "Home did not reach 99 minutes: $(stored)"
note "a held arrow repeated up to $max flakes; End and Home reached 1 and 99 minutes"

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

# ---- at 200 %, as X desktops set it (Xft.dpi 192 and GDK_SCALE=2), the
# dialog has twice the size in the display's pixels, not four times
echo "Xft.dpi: 192" | xrdb -nocpp -merge || fail "cannot set Xft.dpi"
export GDK_SCALE=2
open_settings
unset GDK_SCALE
xrdb -nocpp -remove
eval "$(xdotool getwindowgeometry --shell "$dialog")"
keep_screenshot "$dialog" scaled
(( 100 * WIDTH >= 95 * 2 * width_96 && 100 * WIDTH <= 105 * 2 * width_96 &&
   100 * HEIGHT >= 95 * 2 * height_96 && 100 * HEIGHT <= 105 * 2 * height_96 )) ||
  fail "at 192 dpi and GDK_SCALE=2 the dialog is ${WIDTH}x$HEIGHT, not about twice ${width_96}x$height_96"
close_window "$dialog"
expect_end "the close box at 192 dpi"
note "at 192 dpi and GDK_SCALE=2 the dialog is ${WIDTH}x$HEIGHT"
echo "$script_name: ok"
