#!/usr/bin/env bash
# The info dialog: the settings dialog's info button opens it modally, centred
# by the integer rule, with its picture, title, version and link; the link
# opens the web address as an https URL and leaves it open; its OK closes it
# and the settings dialog goes on. xdg-open is replaced by a recorder for the run.
set -uo pipefail
source "$(dirname "$0")/lib/x11.sh"

# A program waiting in a modal window may not see SIGTERM: end it for sure.
trap '[[ -n ${saver_pid:-} ]] && kill -9 "$saver_pid" 2>/dev/null; x11_cleanup' EXIT
x11_session 1024x768
mkdir -p "$x11_tmp/bin"
opened=$x11_tmp/opened
# A stand-in for xdg-open that records what it is given and, like the real
# one, takes exactly one argument and fails on one that is no URL (a bare host
# name is a file name to it, and no such file exists).
cat >"$x11_tmp/bin/xdg-open" <<EOF
#!/bin/sh
[ \$# -eq 1 ] || { echo "rejected: \$# arguments" >>"$opened"; exit 1; }
case "\$1" in
  https://?*) echo "\$1" >>"$opened" ;;
  *) echo "rejected: \$1" >>"$opened"; exit 2 ;;
esac
EOF
chmod +x "$x11_tmp/bin/xdg-open"
export PATH=$x11_tmp/bin:$PATH

open_settings

# Clicks at a point of a window's client area given in twips.
click_window_twips() {
  xdotool mousemove --window "$1" $(( $2 / 15 )) $(( $3 / 15 )) click 1
  sleep 0.3
}

# Every pixel of a rectangle as X Y pairs.
area() {
  local x y
  for (( y = $2; y < $2 + $4; y++ )); do for (( x = $1; x < $1 + $3; x++ )); do echo -n "$x $y "; done; done
}

open_info
keep_screenshot "$info" info

# 5340 x 4935 twips; Left = (15360 - 5340) \ 2 = 5010, Top = (11520 - 4935) \ 2 = 3292.
eval "$(xdotool getwindowgeometry --shell "$info")"
(( WIDTH == 356 && HEIGHT == 329 )) || fail "the info window is ${WIDTH}x$HEIGHT, not 356x329"
(( X == 5010 / 15 && Y == 3292 / 15 )) || fail "the info window is at $X,$Y, not 334,219"

# The title on white, "Freeware" in dark red on white, the link in its blue.
(( $(count_colour "$info" "255 255 255" 57 81 57 95 303 81 303 95) == 4 )) || fail "the title's white box is missing"
red=$(count_colour "$info" "128 0 0" $(area 56 128 249 25))
(( red > 20 )) || fail "no dark red Freeware text ($red pixels)"
blue=$(count_colour "$info" "0 0 192" $(area 56 157 249 17))
(( blue > 20 )) || fail "no blue link ($blue pixels)"
note "info window 356x329 at $X,$Y; $red dark red and $blue link-blue pixels"

# The link opens the address and the dialog stays.
click_window_twips "$info" $(( 840 + 1867 )) $(( 2350 + 127 ))
sleep 0.5
url=https://www.frostwisp.example/
[[ $(cat "$opened" 2>/dev/null) == "$url" ]] || fail "the link opened: $(cat "$opened" 2>/dev/null)"
xdotool search --onlyvisible --pid "$saver_pid" 2>/dev/null | grep -qx "$info" || fail "the link closed the info window"

# OK closes it; the settings dialog stays and takes input again.
click_window_twips "$info" $(( 3120 + 307 )) $(( 3960 + 247 ))
sleep 0.3
xdotool search --onlyvisible --pid "$saver_pid" 2>/dev/null | grep -qx "$info" && fail "OK left the info window open"
running "$saver_pid" || fail "the program ended with the info window"
click_window_twips "$dialog" $(( 3000 + 600 )) $(( 2280 + 487 ))   # cmdHomepage
sleep 0.5
[[ $(cat "$opened") == "$url"$'\n'"$url" ]] || fail "the web button opened: $(tail -n +2 "$opened")"
keep_screenshot "$dialog" after-info

# The info button builds the dialog afresh each time.
click_window_twips "$dialog" $(( 4440 + 600 )) $(( 2280 + 487 ))
sleep 0.5
again=$(xdotool search --onlyvisible --pid "$saver_pid" 2>/dev/null | grep -vx "$dialog" | head -n1)
[[ -n $again ]] || fail "the info button did not open the info window a second time"
click_window_twips "$again" $(( 3120 + 307 )) $(( 3960 + 247 ))

click_window_twips "$dialog" $(( 4440 + 600 )) $(( 3480 + 487 ))   # OK
wait_exit "$saver_pid" 3000 || fail "the program did not end after OK"
! grep -E 'Gtk-|GLib-|Gdk-' "$x11_tmp/saver.err" || fail "GTK complained"
note "the link and the web button opened the address; OK closed the info window"
echo "$script_name: ok"
