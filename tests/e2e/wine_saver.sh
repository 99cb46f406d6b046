#!/usr/bin/env bash
# frostwisp.scr /S under Wine on a 640 x 480 virtual display: the first frame
# comes, the blue gradient fills the rows no flake covers, a pointer step of
# 2 pixels leaves the saver running, one of 3 pixels ends it, and so does a key
# (started without a switch); a second saver started beside it does not start.
# With the desktop as background, the scene shows the screen as it was before
# the saver's window covered it.
set -uo pipefail
source "$(dirname "$0")/lib/wine.sh"

fail() { echo "wine_saver: $*"; exit 1; }
[[ -f $SCR ]] || fail "no $SCR (build the windows preset first)"
tmp=$(mktemp -d)
trap 'end_wine_session; rm -rf "$tmp"' EXIT
wine_session 640x480 || fail "no Wine session"

settings='HKCU\Software\Frostwisp\Settings'
wine reg delete 'HKCU\Software\Frostwisp' /f >/dev/null 2>&1
wine reg add "$settings" /v Background /t REG_SZ /d 1 /f >/dev/null 2>&1 || fail "cannot store the background"

# Starts the program with the given arguments and the pointer resting at
# (100, 100), and waits for its first frame; sets $pid.
start_saver() {
  rm -f "$tmp/ready"
  xdotool mousemove 100 100
  FROSTWISP_READY_FILE=$(winpath "$tmp/ready") wine "$SCR" "$@" &
  pid=$!
  wait_for_file "$tmp/ready" 20 || fail "no first frame within 20 s"
}

alive() { kill -0 "$pid" 2>/dev/null; }

# The share of pixels in row $2 of picture $1 that have colour $3, in percent.
share_in_row() {
  local n
  n=$(convert "$1" -crop "640x1+0+$2" +repage txt:- | grep -c "$3")
  echo $(( n * 100 / 640 ))
}

start_saver /S
read -r form width height < "$tmp/ready"
[[ "$form $width $height" == "frmMain 640 480" ]] || fail "first frame from '$form $width $height'"

import -window root "$tmp/screen.png" || fail "no screenshot"
# Rows where bitmap 101 has one colour only; at a height of 480 they are not
# stretched. Flakes may cover a few of their pixels.
for row_colour in "3 #77ACFC" "100 #5F8ACA" "218 #415E8A"; do
  read -r row colour <<< "$row_colour"
  share=$(share_in_row "$tmp/screen.png" "$row" "$colour")
  (( share >= 85 )) || fail "row $row is $colour in only $share % of its pixels"
done

# Windows keeps only the newest pointer position for a program that has not
# read the last one yet, so two steps the saver sees as one make 4 pixels:
# give it time to take each.
xdotool mousemove 102 100
sleep 1
xdotool mousemove 104 101
sleep 1
alive || fail "steps of 2 pixels ended the saver"
xdotool mousemove 107 101
wait_for_exit "$pid" 10
status=$?
[[ $status -eq 0 ]] || fail "a step of 3 pixels: exit status $status (124: still running)"

start_saver  # no switch at all runs the saver too
sleep 0.5
alive || fail "the second run ended by itself"
# A second saver beside it does not start, so that one key ends all.
timeout 20 wine "$SCR" /S
status=$?
[[ $status -eq 0 ]] || fail "a second /S beside the first: exit status $status (124: still running)"
alive || fail "the second /S ended the first"
xdotool key a
wait_for_exit "$pid" 10
status=$?
[[ $status -eq 0 ]] || fail "a key: exit status $status (124: still running)"

xsetroot -solid '#3366CC'
wine reg add "$settings" /v Background /t REG_SZ /d 3 /f >/dev/null 2>&1 || fail "cannot store the background"
start_saver /s
import -window root "$tmp/desktop.png" || fail "no screenshot"
xdotool key a
wait_for_exit "$pid" 10 || fail "the desktop run did not end on a key"
for row in 3 100 300; do
  share=$(share_in_row "$tmp/desktop.png" "$row" "#3366CC")
  (( share >= 85 )) || fail "desktop background: row $row shows the desktop in only $share % of its pixels"
done

wine reg delete 'HKCU\Software\Frostwisp' /f >/dev/null 2>&1
echo "wine_saver: ok"
