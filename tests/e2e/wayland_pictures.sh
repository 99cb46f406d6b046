#!/usr/bin/env bash
# What the saver shows on Wayland beyond its first frame: on an output at
# scale 2 the scene is drawn at the output's device pixels (the screenshot is
# not a picture enlarged from half the size), and with the desktop as the
# background each output's scene starts from what that output showed before,
# on a turned output too.
set -uo pipefail
source "$(dirname "$0")/lib/sway.sh"

# ---- scale 2: a 1920x1080 mode is 960x540 in the layout
sway_session
output_scale HEADLESS-1 2 || fail "the compositor cannot set scale 2"
[[ $(outputs | head -n1) == "HEADLESS-1 0 0 960 540 2" ]] || fail "the output at scale 2 is $(outputs | head -n1)"
settings Background=1 Restart=0 maxFl=500
start_saver /S
wait_for_band 3000 HEADLESS-1 || fail "no scene on the output at scale 2 after ${waited_ms} ms"
sleep 1
shot HEADLESS-1 "$wl_tmp/scaled.png"
keep_screenshot HEADLESS-1 scale-2
[[ $(identify -format '%wx%h' "$wl_tmp/scaled.png") == 1920x1080 ]] || fail "the screenshot is not 1920x1080"
# A picture enlarged from 960x540 is made of 2x2 blocks of one colour; the
# flakes, the snow cover and the text line at device pixels are not. The
# same probe over the picture shrunk and enlarged again shows what it finds.
read -r mixed blocks < <("$WAYLAND_HELPER" blocks "$wl_tmp/scaled.png" 1920x540+0+540)
convert "$wl_tmp/scaled.png" -sample 50% -sample 200% "$wl_tmp/enlarged.png"
read -r enlarged_mixed _ < <("$WAYLAND_HELPER" blocks "$wl_tmp/enlarged.png" 1920x540+0+540)
(( enlarged_mixed == 0 )) || fail "the probe finds $enlarged_mixed mixed blocks in an enlarged picture"
(( mixed * 100 > blocks )) || fail "only $mixed of $blocks 2x2 blocks of the lower half are not one colour: enlarged from 960x540"
# The text line at the bottom right, in device pixels.
(( $(count_in "$wl_tmp/scaled.png" 480x60+1440+1020 8080FF) > 20 )) || fail "no address at the bottom right at scale 2"
note "scale 2: $mixed of $blocks 2x2 blocks of the lower half are not one colour"
kill "$saver_pid"
wait_exit "$saver_pid" 1000 || fail "SIGTERM did not end the saver within a second"

# ---- scale 1.5, where the compositor offers fractional scales: the 1920x1080
# mode is 1280x720 in the layout, and the scene's buffer has the mode's pixels
# (the compositor shows it one to one, not enlarged from 1280x720)
output_scale HEADLESS-1 1.5 || fail "the compositor cannot set scale 1.5"
read -r _ _ _ w h _ < <(outputs | head -n1)
[[ "$w $h" == "1280 720" ]] || fail "the output at scale 1.5 is ${w}x$h in the layout"
WAYLAND_DEBUG=1 start_saver /S
wait_for_band 3000 HEADLESS-1 || fail "no scene on the output at scale 1.5 after ${waited_ms} ms"
if grep -q 'global(.*"wp_fractional_scale_manager_v1"' "$wl_tmp/saver.err"; then
  grep -q 'create_buffer(new id wl_buffer[@#][0-9]*, 0, 1920, 1080, ' "$wl_tmp/saver.err" ||
    fail "no 1920x1080 buffer at scale 1.5: $(grep -o 'create_buffer([^)]*)' "$wl_tmp/saver.err" | sort -u | head -n 3)"
  grep -q 'set_destination(1280, 720)' "$wl_tmp/saver.err" || fail "the buffer is not shown at 1280x720"
  shot HEADLESS-1 "$wl_tmp/fraction.png"
  keep_screenshot HEADLESS-1 scale-1.5
  (( $(count_in "$wl_tmp/fraction.png" 360x45+1560+1035 8080FF) > 20 )) || fail "no address at the bottom right at scale 1.5"
  note "scale 1.5: a 1920x1080 buffer shown at 1280x720"
else
  note "scale 1.5: the compositor offers no fractional scale (not checked)"
fi
kill "$saver_pid"
wait_exit "$saver_pid" 1000 || fail "SIGTERM did not end the saver within a second"

# ---- the desktop as the background: two outputs, each with its own picture
sway_session
add_output 1280x720 1920 0
second=$new_output
"$WAYLAND_HELPER" picture c81e78 1e78c8 --output HEADLESS-1 >"$wl_tmp/picture1.out" 2>&1 &
wl_pids+=($!)
"$WAYLAND_HELPER" picture 28b428 b4b428 --output "$second" >"$wl_tmp/picture2.out" 2>&1 &
wl_pids+=($!)
start=$(now_ms)
until grep -q ready "$wl_tmp/picture1.out" && grep -q ready "$wl_tmp/picture2.out"; do
  (( $(now_ms) - start < 3000 )) || fail "no pictures on the outputs: $(cat "$wl_tmp"/picture*.out)"
  sleep 0.02
done
shot HEADLESS-1 "$wl_tmp/before1.png"
(( $(count_colour "$wl_tmp/before1.png" "200 30 120" 100 300) == 1 )) || fail "the picture is not on the first output"

# Probes in the middle rows of each half of an output W wide and H high.
left_probes() { echo "$(( $1 / 10 )) $(( $2 / 3 )) $(( $1 / 4 )) $(( $2 / 3 )) $(( $1 * 2 / 5 )) $(( $2 / 3 ))" \
  "$(( $1 / 10 )) $(( $2 / 2 )) $(( $1 / 4 )) $(( $2 / 2 )) $(( $1 * 2 / 5 )) $(( $2 / 2 ))"; }
right_probes() { echo "$(( $1 * 6 / 10 )) $(( $2 / 3 )) $(( $1 * 3 / 4 )) $(( $2 / 3 )) $(( $1 * 9 / 10 )) $(( $2 / 3 ))" \
  "$(( $1 * 6 / 10 )) $(( $2 / 2 )) $(( $1 * 3 / 4 )) $(( $2 / 2 )) $(( $1 * 9 / 10 )) $(( $2 / 2 ))"; }

# The output's screenshot shows its picture (at least 4 of 6 probes in each
# half: flakes may cover the others) and the scene's address over it.
shows_desktop() {
  local output=$1 w=$2 h=$3 left=$4 right=$5 file=$wl_tmp/desktop.png
  shot "$output" "$file" || return 1
  # shellcheck disable=SC2046
  (( $(count_colour "$file" "$left" $(left_probes "$w" "$h")) >= 4 &&
     $(count_colour "$file" "$right" $(right_probes "$w" "$h")) >= 4 &&
     $(count_in "$file" 240x30+$(( w - 240 ))+$(( h - 30 )) 8080FF) > 20 ))
}

settings Background=3 Restart=0 maxFl=100
start_saver /S
start=$(now_ms)
until shows_desktop HEADLESS-1 1920 1080 "200 30 120" "30 120 200" && shows_desktop "$second" 1280 720 "40 180 40" "180 180 40"; do
  running "$saver_pid" || fail "the saver ended"
  (( $(now_ms) - start < 3000 )) || {
    keep_screenshot HEADLESS-1 desktop-1
    keep_screenshot "$second" desktop-2
    fail "the outputs do not show their desktop pictures under the scene"
  }
  sleep 0.1
done
note "both outputs show their own desktop picture under the scene after $(( $(now_ms) - start )) ms"
keep_screenshot HEADLESS-1 desktop-1
keep_screenshot "$second" desktop-2
wtype -s 100 -k a
wait_exit "$saver_pid" 1000 || fail "a key did not end the saver"

# ---- the desktop of a turned output: the screen copy comes in the output's
# buffer, the mode's way up; the scene shows it the way the output does
# (sway's own commands turn the output)
if [[ ${FROSTWISP_COMPOSITOR:-sway} != sway ]]; then
  note "turned outputs: checked on sway only"
  note ok
  exit 0
fi
sway_session
settings Background=3 Restart=0 maxFl=100
"$WAYLAND_HELPER" picture c81e78 1e78c8 >"$wl_tmp/picture.out" 2>&1 &
wl_pids+=($!)
for transform in 90 180; do
  swaymsg output HEADLESS-1 mode 800x600 transform "$transform" >/dev/null || fail "sway cannot turn the output $transform"
  read -r w h < <(outputs | awk '$1 == "HEADLESS-1" { print $4, $5 }')
  start=$(now_ms)
  # shellcheck disable=SC2046
  until shot HEADLESS-1 "$wl_tmp/turned.png" && (( $(count_colour "$wl_tmp/turned.png" "200 30 120" $(left_probes "$w" "$h")) == 6 )); do
    (( $(now_ms) - start < 3000 )) || fail "transform $transform: the picture is not on the output"
    sleep 0.1
  done
  start_saver /S
  start=$(now_ms)
  until shows_desktop HEADLESS-1 "$w" "$h" "200 30 120" "30 120 200"; do
    running "$saver_pid" || fail "transform $transform: the saver ended"
    (( $(now_ms) - start < 3000 )) || {
      keep_screenshot HEADLESS-1 "transform-$transform"
      fail "transform $transform: the scene does not show the desktop the way the output does"
    }
    sleep 0.1
  done
  note "transform $transform: the scene shows the desktop the way the output does"
  kill "$saver_pid"
  wait_exit "$saver_pid" 1000 || fail "SIGTERM did not end the saver"
done

note ok
