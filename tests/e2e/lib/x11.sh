# Sourced by the x11_*.sh end-to-end scripts: a private Xvfb (or Xephyr) on a
# display number it picks itself, the test helper and the settings dialog's
# buttons; common.sh beside it gives the program, a settings folder of the
# script's own, polling helpers and clean-up of everything started.
#
#   source "$(dirname "$0")/lib/x11.sh"
#   x11_session 800x600     # DISPLAY set, XDG_CONFIG_HOME a fresh folder
#   settings Background=1   # keys of the [Settings] section
#   start_saver /S          # $saver_pid
#   ...

source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
X11_HELPER=${X11_HELPER:-$(dirname "$FROSTWISP_BIN")/tests/x11_test_helper}

x11_tmp=$e2e_tmp
declare -gn x11_pids=e2e_pids  # the X server first
x11_cleanup() { e2e_cleanup; }

[[ -x $X11_HELPER ]] || fail "no test helper at $X11_HELPER"

# Starts Xvfb with a screen of the given size on a free display, of
# X11_DEPTH bits a pixel (24 unless set).
x11_session() {
  local size=$1 fifo=$x11_tmp/displayfd.${#x11_pids[@]}
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${size}x${X11_DEPTH:-24}" -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  x11_pids+=($!)
  local number
  read -r -t 10 number <"$fifo" || fail "Xvfb did not start"
  export DISPLAY=":$number"
  # A Wayland session around the tests would take the full-screen saver.
  unset XSCREENSAVER_WINDOW WAYLAND_DISPLAY WAYLAND_SOCKET
  export XDG_CONFIG_HOME=$x11_tmp/config XDG_STATE_HOME=$x11_tmp/state
  mkdir -p "$XDG_CONFIG_HOME/frostwisp"
  xset s off -dpms 2>/dev/null || true
}

# Two monitors of different sizes side by side, 1920x1080 at (0, 0) and
# 1280x1024 at (1920, 0): the heads of a nested Xephyr on an Xvfb of its own.
# DISPLAY is the Xephyr's.
xephyr_session() {
  x11_session 3300x1200
  local fifo=$x11_tmp/displayfd.${#x11_pids[@]} number
  mkfifo "$fifo"
  Xephyr -displayfd 3 +xinerama -screen 1920x1080 -screen 1280x1024 -nolisten tcp -noreset 3>"$fifo" \
    >/dev/null 2>&1 &
  x11_pids+=($!)
  read -r -t 10 number <"$fifo" || fail "Xephyr did not start"
  export DISPLAY=":$number"
  xset s off -dpms 2>/dev/null || true
}

# "R G B" lines for the pixels (X Y pairs) of a window ("root" or an id).
pixels() { "$X11_HELPER" pixels "$@"; }

# Keeps a picture of the window for whoever reads the run afterwards.
keep_screenshot() {
  import -window "$1" "$ARTIFACTS/$script_name-$2.png" 2>/dev/null || true
}

# The first top-level window with this name.
window_named() { xdotool search --name "^$1\$" 2>/dev/null | head -n1; }

# Starts "/C" (extra arguments go before it, such as a wrapper) and waits for
# its window; $dialog, $saver_pid.
open_settings() {
  "$@" "$FROSTWISP_BIN" /C >"$x11_tmp/saver.out" 2>"$x11_tmp/saver.err" &
  saver_pid=$!
  x11_pids+=($saver_pid)
  local tries=0
  dialog=
  while [[ -z $dialog ]] && (( tries++ < 500 )); do
    dialog=$(xdotool search --onlyvisible --name 'Settings / Einstellungen' 2>/dev/null | head -n1)
    [[ -n $dialog ]] || sleep 0.02
  done
  [[ -n $dialog ]] || fail "no settings window ($(cat "$x11_tmp/saver.err"))"
  sleep 0.3
}

# Clicks the settings dialog's info button and waits for the window it opens;
# $info.
open_info() {
  local tries=0
  info=
  click_twips $(( 4440 + 600 )) $(( 2280 + 487 ))
  while [[ -z $info ]] && (( tries++ < 250 )); do
    info=$(xdotool search --onlyvisible --pid "$saver_pid" 2>/dev/null | grep -vx "$dialog" | head -n1)
    [[ -n $info ]] || sleep 0.02
  done
  [[ -n $info ]] || fail "the info button opened no window"
  sleep 0.3
}

# Clicks at a point of the dialog's client area given in twips, as the
# dialog's layout names it (15 twips to the pixel on this screen).
click_twips() {
  xdotool mousemove --window "$dialog" $(( $1 / 15 )) $(( $2 / 15 )) click 1
  sleep 0.2
}

press_ok() { click_twips $(( 4440 + 600 )) $(( 3480 + 487 )); }
