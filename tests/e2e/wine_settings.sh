#!/usr/bin/env bash
# frostwisp.scr /C under Wine: OK without changes stores the eight settings as
# REG_SZ values with their default texts, also after the info dialog has been
# open; changes made with the mouse (an arrow, the wheel) reach the store
# through the keyboard's Alt+O; the close box stores nothing, and the screen
# saver that was on is on again once the dialog has closed. At 120 dots per
# inch the dialog and its controls keep their sizes in twips.
set -uo pipefail
source "$(dirname "$0")/lib/wine.sh"

fail() { echo "wine_settings: $*"; exit 1; }
[[ -f $SCR ]] || fail "no $SCR (build the windows preset first)"
tmp=$(mktemp -d)
trap 'wine reg delete "HKCU\Control Panel\Desktop" /v LogPixels /f >/dev/null 2>&1; end_wine_session; rm -rf "$tmp"' EXIT
wine_session 800x600 || fail "no Wine session"

settings='HKCU\Software\Frostwisp\Settings'
dialog_size="390 310"  # 5850 x 4650 twips at 15 twips per pixel
forget() { wine reg delete 'HKCU\Software\Frostwisp' /f >/dev/null 2>&1; }

# Opens the dialog with the given switch and finds its window; sets $pid and
# $cx, $cy, the screen position of the client area's top-left corner.
open_dialog() {
  rm -f "$tmp/ready"
  FROSTWISP_READY_FILE=$(winpath "$tmp/ready") wine "$SCR" "$@" &
  pid=$!
  if ! wait_for_file "$tmp/ready" 30; then
    kill -0 "$pid" 2>/dev/null && fail "'$*': no dialog within 30 s (still running)"
    wait "$pid"
    fail "'$*': no dialog; the program ended with status $?"
  fi
  read -r form width height < "$tmp/ready"
  [[ "$form $width $height" == "frmConfig $dialog_size" ]] || fail "'$*' showed '$form $width $height'"
  local id X Y WIDTH HEIGHT
  id=$(xdotool search --name "Settings / Einstellungen" | head -1)
  [[ -n $id ]] || fail "no window named like the settings dialog"
  eval "$(xdotool getwindowgeometry --shell "$id")"
  frame=$(( (WIDTH - width) / 2 ))
  cx=$(( X + frame ))
  cy=$(( Y + HEIGHT - height - frame ))
  close_x=$(( X + WIDTH - 12 ))
  close_y=$(( Y + frame + 8 ))
}

# Clicks at a point of the client area, in pixels.
click_at() {
  xdotool mousemove $(( cx + $1 )) $(( cy + $2 )) click 1
  sleep 0.3
}

closes() {
  wait_for_exit "$pid" 10
  local status=$?
  [[ $status -eq 0 ]] || fail "$1: exit status $status (124: still open)"
}

# The stored values as "name=text" lines, sorted; REG_SZ only.
stored() {
  wine reg query "$settings" 2>/dev/null | tr -d '\r' | awk '$2 == "REG_SZ" { print $1 "=" $3 }' | sort | paste -sd' '
}

forget
open_dialog /C
xdotool key alt+i
for i in $(seq 100); do grep -q '^frmInfo ' "$tmp/ready" && break; sleep 0.1; done
grep -q '^frmInfo 356 329$' "$tmp/ready" || fail "no info dialog of 356 x 329: $(cat "$tmp/ready")"
xdotool key Return  # its OK button has the focus
sleep 0.5
click_at 336 264   # OK, which only answers once the info dialog has gone
closes "OK"
expected="Background=4 Date=1 Restart=1 Size=6 SpeedF=6 Time=1 maxFl=110 rTime=600"
[[ $(stored) == "$expected" ]] || fail "after OK: '$(stored)', expected '$expected'"
all=$(wine reg query "$settings" 2>/dev/null | tr -d '\r' | grep -c 'REG_')
[[ $all -eq 8 ]] || fail "$all values in the settings key"

open_dialog /C
click_at 226 118   # Random / Zufall: off, which frees the options
click_at 226 56    # Blue / Blau
click_at 165 46    # the right arrow of the flake-count bar: 50 -> 55
xdotool mousemove $(( cx + 97 )) $(( cy + 126 )) click 5   # a wheel notch down on the size bar: 50 -> 55
sleep 0.3
xdotool key alt+o
closes "Alt+O"
expected="Background=1 Date=1 Restart=1 Size=6.4 SpeedF=6 Time=1 maxFl=119 rTime=600"
[[ $(stored) == "$expected" ]] || fail "after changes: '$(stored)', expected '$expected'"

forget
[[ $(screensaver_active 1) == 1 ]] || fail "cannot switch the screen saver on"
open_dialog /c:1234
[[ $(screensaver_active) == 0 ]] || fail "the open dialog did not switch the screen saver off"
xdotool mousemove "$close_x" "$close_y" click 1
closes "the close box"
wine reg query "$settings" >/dev/null 2>&1 && fail "the close box stored: $(stored)"
[[ $(screensaver_active) == 1 ]] || fail "the closed dialog left the screen saver switched off"

# 12 twips per pixel: 487.5 x 387.5 pixels, rounded to even.
desktop='HKCU\Control Panel\Desktop'
wine reg add "$desktop" /v LogPixels /t REG_DWORD /d 120 /f >/dev/null 2>&1 || fail "cannot set the DPI"
restart_wine
dialog_size="488 388"
forget
open_dialog /C
wine reg delete "$desktop" /v LogPixels /f >/dev/null 2>&1
click_at 420 331   # OK: 4440 + 600, 3480 + 487 twips
closes "OK at 120 dpi"
expected="Background=4 Date=1 Restart=1 Size=6 SpeedF=6 Time=1 maxFl=110 rTime=600"
[[ $(stored) == "$expected" ]] || fail "after OK at 120 dpi: '$(stored)'"

forget
echo "wine_settings: ok"
