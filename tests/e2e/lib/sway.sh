# Sourced by the wayland_*.sh end-to-end scripts: a private headless sway
# run by an unprivileged user of its own (sway refuses to run as root), its
# outputs, screenshots and their pixels, and one virtual pointer; common.sh
# beside it gives the program, a settings folder of the script's own, polling
# helpers and clean-up of everything started.
#
#   source "$(dirname "$0")/lib/sway.sh"
#   sway_session            # WAYLAND_DISPLAY, SWAYSOCK set; HEADLESS-1 is 1920x1080 at (0, 0)
#   add_output 1280x720 1920 0   # $new_output: HEADLESS-2
#   settings Background=1 Restart=0
#   start_saver /S          # $saver_pid
#   shot HEADLESS-1 "$wl_tmp/a.png"
#   ...

source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
WAYLAND_HELPER=${WAYLAND_HELPER:-$(dirname "$FROSTWISP_BIN")/tests/wayland_test_helper}
SWAY_USER=${SWAY_USER:-frostwisp-e2e}

wl_tmp=$e2e_tmp
chmod 755 "$wl_tmp"  # the compositor's user reads its configuration here
declare -gn wl_pids=e2e_pids  # each compositor before its clients
wl_cleanup() { e2e_cleanup; }

[[ -x $WAYLAND_HELPER ]] || fail "no test helper at $WAYLAND_HELPER"

# The unprivileged user the compositors run as; made on the first run.
sway_user() {
  id -u "$SWAY_USER" >/dev/null 2>&1 && return 0
  useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$SWAY_USER" 2>/dev/null ||
    id -u "$SWAY_USER" >/dev/null 2>&1 || fail "cannot make the user $SWAY_USER"
}

# A runtime folder of the compositor's user, private to it; $runtime_dir.
private_runtime_dir() {
  runtime_dir=$wl_tmp/run.${#wl_pids[@]}
  mkdir -m 700 "$runtime_dir"
  chown "$SWAY_USER:" "$runtime_dir"
}

# Runs a command as the compositor's user with a clean environment plus the
# given VAR=value words; $! is the user's process.
as_user() {
  local env=(PATH=/usr/local/bin:/usr/bin:/bin HOME=$wl_tmp XDG_RUNTIME_DIR=$runtime_dir)
  while [[ $1 == *=* ]]; do env+=("$1"); shift; done
  (cd / && exec setpriv --reuid="$SWAY_USER" --regid="$SWAY_USER" --clear-groups env -i "${env[@]}" "$@") &
}

# Starts headless sway with one 1920x1080 output, HEADLESS-1 at (0, 0);
# "xwayland" starts XWayland with it and sets DISPLAY, else DISPLAY is unset.
# WAYLAND_DISPLAY is the socket's full path, SWAYSOCK its IPC socket.
sway_session() {
  local xwayland=${1:-} config=$wl_tmp/sway.${#wl_pids[@]}.config
  sway_user
  private_runtime_dir
  {
    echo "output HEADLESS-1 mode 1920x1080 position 0 0 scale 1"
    [[ $xwayland == xwayland ]] && echo "xwayland enable" || echo "xwayland disable"
    # Under XWayland, an X client that says when the server is up.
    [[ $xwayland == xwayland ]] && echo "exec sh -c 'echo \$DISPLAY >$runtime_dir/display'"
  } >"$config"
  chmod 644 "$config"
  as_user WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$config" >"$wl_tmp/sway.log" 2>&1
  wl_pids+=($!)
  local tries=0 socket
  while (( tries++ < 250 )); do
    socket=$(find "$runtime_dir" -maxdepth 1 -type s -name 'wayland-*' | head -n1)
    [[ -n $socket ]] && compgen -G "$runtime_dir/sway-ipc.*.sock" >/dev/null && break
    running "${wl_pids[-1]}" || fail "sway ended at start: $(tail -n 5 "$wl_tmp/sway.log")"
    sleep 0.02
  done
  export WAYLAND_DISPLAY=$socket
  SWAYSOCK=$(compgen -G "$runtime_dir/sway-ipc.*.sock" | head -n1)
  export SWAYSOCK
  [[ -n $SWAYSOCK ]] || fail "sway did not start: $(tail -n 5 "$wl_tmp/sway.log")"
  until swaymsg -t get_outputs >/dev/null 2>&1; do
    (( tries++ < 500 )) || fail "sway does not answer"
    sleep 0.02
  done
  unset DISPLAY XSCREENSAVER_WINDOW
  if [[ $xwayland == xwayland ]]; then
    while [[ ! -s $runtime_dir/display ]] && (( tries++ < 500 )); do sleep 0.02; done
    [[ -s $runtime_dir/display ]] || fail "sway started no XWayland"
    export DISPLAY=$(cat "$runtime_dir/display")
    # XWayland starts when its first client comes and lets in only its own
    # user: that user lets root in too, as the program runs as root.
    local as_owner=(setpriv --reuid="$SWAY_USER" --regid="$SWAY_USER" --clear-groups env -i "DISPLAY=$DISPLAY")
    while ! "${as_owner[@]}" xhost +si:localuser:root >/dev/null 2>&1 && (( tries++ < 750 )); do sleep 0.02; done
    xdpyinfo >/dev/null 2>&1 || fail "XWayland at $DISPLAY does not answer"
  fi
  export XDG_CONFIG_HOME=$wl_tmp/config XDG_STATE_HOME=$wl_tmp/state
  mkdir -p "$XDG_CONFIG_HOME/frostwisp"
}

# "NAME X Y W H SCALE" of each output, in sway's order. The numbers are
# printed as numbers (a scale of 2 as 2): jq 1.7 keeps a number's text as
# sway wrote it, "2.0", where jq 1.6 printed 2.
outputs() {
  swaymsg -r -t get_outputs |
    jq -r '.[] | "\(.name) \(.rect.x) \(.rect.y) \(.rect.width) \(.rect.height) \(.scale)"' |
    awk '{ for (i = 2; i <= NF; i++) $i += 0; print }'
}

# Adds an output of the mode WxH at (X, Y), at scale 1 or the one given;
# its name in $new_output.
add_output() {
  local mode=$1 x=$2 y=$3 scale=${4:-1} before
  before=$(outputs | cut -d' ' -f1)
  swaymsg create_output >/dev/null || fail "sway made no output"
  new_output=$(outputs | cut -d' ' -f1 | grep -vxF "$before" | head -n1)
  [[ -n $new_output ]] || fail "no new output after create_output"
  swaymsg output "$new_output" mode "$mode" position "$x" "$y" scale "$scale" >/dev/null ||
    fail "sway cannot set $new_output to $mode at $x,$y"
}

# Switches an output off or on, or sets its scale.
output_off() { swaymsg output "$1" disable >/dev/null; }
output_on() { swaymsg output "$1" enable >/dev/null; }
output_scale() { swaymsg output "$1" scale "$2" >/dev/null; }

# Takes a screenshot of the output into the file.
shot() { grim -o "$1" "$2"; }

# Keeps a screenshot of the output for whoever reads the run afterwards.
keep_screenshot() { grim -o "$1" "$ARTIFACTS/$script_name-$2.png" 2>/dev/null || true; }

# "R G B" lines for the pixels (X Y pairs) of a PNG file.
pixels() { "$WAYLAND_HELPER" pixels "$@"; }

# Pixels of the colour RRGGBB in the rectangle WxH+X+Y of the PNG file.
count_in() { "$WAYLAND_HELPER" count "$1" "$2" "$3" 2>/dev/null || echo 0; }

# The blue gradient's first band, at the top of every scene with Background=1.
band="119 172 252"

# The output shows the band: at least 4 of 6 probes along its top row (flakes
# may cover the others).
showing_band() {
  local output=$1 w file=$wl_tmp/band.png
  w=$(outputs | awk -v n="$output" '$1 == n { print $4 * $6 }')
  [[ -n $w ]] && shot "$output" "$file" 2>/dev/null || return 1
  (( $(count_colour "$file" "$band" 5 0 $((w / 5)) 0 $((2 * w / 5)) 0 $((3 * w / 5)) 0 $((4 * w / 5)) 0 $((w - 5)) 0) >= 4 ))
}

# Waits up to ms for every named output to show the band; $waited_ms.
wait_for_band() {
  local ms=$1 start o all
  shift
  start=$(now_ms)
  while :; do
    all=1
    for o in "$@"; do showing_band "$o" || { all=0; break; }; done
    waited_ms=$(( $(now_ms) - start ))
    (( all )) && return 0
    (( waited_ms < ms )) || return 1
    running "${saver_pid:-0}" || return 1
    sleep 0.05
  done
}

# One virtual pointer for the script's life: pointer_start, then pointer
# "move 2 0", pointer "abs 100 100 1920 1080", pointer click; each returns
# once the compositor has the request.
pointer_start() {
  coproc POINTER { exec "$WAYLAND_HELPER" pointer 2>"$wl_tmp/pointer.err"; }
  wl_pids+=($POINTER_PID)
  pointer sleep 0 || fail "no virtual pointer: $(cat "$wl_tmp/pointer.err")"
}

pointer() {
  local reply
  echo "$*" >&"${POINTER[1]}" || return 1
  read -r -t 5 reply <&"${POINTER[0]}" && [[ $reply == ok ]]
}

# The seat's pointer position as sway has it is not offered over IPC; what a
# test can ask is whether the seat has a pointer at all.
seat_has_pointer() { swaymsg -r -t get_seats | jq -e '.[0].capabilities | . % 2 == 1' >/dev/null; }

# labwc in sway's place: its own session and output functions.
[[ ${FROSTWISP_COMPOSITOR:-sway} == labwc ]] && source "$(dirname "${BASH_SOURCE[0]}")/labwc.sh"
