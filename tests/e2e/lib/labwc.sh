# The Wayland end-to-end library's compositor functions for headless labwc,
# sourced by lib/sway.sh when FROSTWISP_COMPOSITOR=labwc: the same session,
# outputs and screenshots as with sway, the outputs driven through the output
# management protocol (wlr-randr) since labwc has no IPC of sway's kind.
#
# labwc cannot make an output while it runs: it starts with three headless
# outputs, the second and third switched off, and add_output switches the next
# one on, which a client sees as a new output as with sway's create_output.

sway_session() {
  local config=$wl_tmp/labwc.${#wl_pids[@]}
  sway_user
  private_runtime_dir
  mkdir -p "$config"
  printf '<?xml version="1.0"?>\n<labwc_config><core><xwaylandPersistence>no</xwaylandPersistence></core></labwc_config>\n' \
    >"$config/rc.xml"
  chmod -R a+rX "$config"
  as_user WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 WLR_HEADLESS_OUTPUTS=3 \
    labwc -C "$config" >"$wl_tmp/labwc.log" 2>&1
  wl_pids+=($!)
  local tries=0 socket
  while (( tries++ < 250 )); do
    socket=$(find "$runtime_dir" -maxdepth 1 -type s -name 'wayland-*' | head -n1)
    [[ -n $socket ]] && break
    running "${wl_pids[-1]}" || fail "labwc ended at start: $(tail -n 5 "$wl_tmp/labwc.log")"
    sleep 0.02
  done
  [[ -n $socket ]] || fail "labwc did not start: $(tail -n 5 "$wl_tmp/labwc.log")"
  export WAYLAND_DISPLAY=$socket
  unset DISPLAY XSCREENSAVER_WINDOW SWAYSOCK
  until wlr-randr >/dev/null 2>&1; do
    (( tries++ < 500 )) || fail "labwc does not answer wlr-randr"
    sleep 0.02
  done
  wlr-randr --output HEADLESS-2 --off --output HEADLESS-3 --off >/dev/null &&
    wlr-randr --output HEADLESS-1 --custom-mode 1920x1080 --pos 0,0 --scale 1 >/dev/null ||
    fail "labwc cannot set its outputs"
  export XDG_CONFIG_HOME=$wl_tmp/config XDG_STATE_HOME=$wl_tmp/state
  mkdir -p "$XDG_CONFIG_HOME/frostwisp"
}

# "NAME X Y W H SCALE" of each output that is on; W and H logical.
outputs() {
  wlr-randr --json | jq -r '.[] | select(.enabled) | (.modes[] | select(.current)) as $m |
    "\(.name) \(.position.x) \(.position.y) \($m.width / .scale | floor) \($m.height / .scale | floor) \(.scale * 100 | round / 100)"'
}

add_output() {
  local mode=$1 x=$2 y=$3 scale=${4:-1}
  new_output=$(wlr-randr --json | jq -r '[.[] | select(.enabled | not)][0].name // empty')
  [[ -n $new_output ]] || fail "labwc has no output left to switch on"
  wlr-randr --output "$new_output" --on --custom-mode "$mode" --pos "$x,$y" --scale "$scale" >/dev/null ||
    fail "labwc cannot set $new_output to $mode at $x,$y"
}

output_off() { wlr-randr --output "$1" --off >/dev/null; }
output_on() { wlr-randr --output "$1" --on >/dev/null; }
output_scale() { wlr-randr --output "$1" --scale "$2" >/dev/null; }
