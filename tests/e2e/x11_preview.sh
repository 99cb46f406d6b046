#!/usr/bin/env bash
# The preview inside a window of another program: exactly the parent's size
# at (0, 0), the still picture stretched edge to edge, following the parent's
# size, and gone within a second of the parent. "/P 0" and a window that does
# not exist end at once.
set -uo pipefail
source "$(dirname "$0")/lib/x11.sh"

x11_session 640x480
picture=$FROSTWISP_ROOT/resources/preview.bmp

# Starts a test window of the given size; $parent, $parent_pid.
make_parent() {
  rm -f "$x11_tmp/parent"
  "$X11_HELPER" window "$1" "$2" >"$x11_tmp/parent" &
  parent_pid=$!
  x11_pids+=($parent_pid)
  local tries=0
  while [[ ! -s $x11_tmp/parent ]] && (( tries++ < 100 )); do sleep 0.02; done
  parent=$(cat "$x11_tmp/parent")
  [[ -n $parent ]] || fail "the test window did not open"
}

# The id of the parent's only child, once it has one; waits up to 2 seconds.
wait_child() {
  local tries=0
  child=
  while [[ -z $child ]] && (( tries++ < 100 )); do
    child=$(xwininfo -children -id "$parent" 2>/dev/null | awk '/^ +0x[0-9a-f]+ / {print $1}' | head -n1)
    [[ -n $child ]] || sleep 0.02
  done
  [[ -n $child ]] || fail "no preview inside the window $parent"
}

# Fails unless the child is w x h at (0, 0) of its parent and viewable.
check_geometry() {
  local info
  info=$(xwininfo -id "$child")
  grep -q "Relative upper-left X:  0$" <<<"$info" && grep -q "Relative upper-left Y:  0$" <<<"$info" &&
    grep -q "Width: $1$" <<<"$info" && grep -q "Height: $2$" <<<"$info" ||
    fail "preview is not $1x$2 at (0, 0): $info"
  grep -q 'Map State: IsViewable' <<<"$info" || fail "preview not viewable"
}

# Fails unless the child shows the preview picture stretched to w x h.
check_picture() {
  local w=$1 h=$2 shot=$x11_tmp/preview-$1x$2.png expected=$x11_tmp/expected-$1x$2.png error
  sleep 0.2
  import -window "$child" "$shot" 2>/dev/null || fail "cannot read the preview"
  cp "$shot" "$ARTIFACTS/$script_name-${w}x$h.png"
  convert "$picture" -sample "${w}x${h}!" -scale 25% "$expected"
  # Both take the nearest source pixel but may pick neighbours in the
  # picture's dithering; averaged over 4 x 4 blocks they agree. A picture
  # that is shifted, cut or short of the edges is off by 0.2 and more.
  error=$(convert "$shot" -scale 25% png:- | compare -metric RMSE - "$expected" null: 2>&1 | sed 's/.*(\(.*\))/\1/')
  awk -v e="$error" 'BEGIN { exit !(e < 0.06) }' || fail "the preview at ${w}x$h is not the stretched picture (error $error)"
  (( $(count_colour "$child" "128 128 128" 0 0 $((w - 1)) 0 0 $((h - 1)) $((w - 1)) $((h - 1))) == 0 )) ||
    fail "the parent's background shows in a corner of the preview"
}

# ---- the preview's size and picture
make_parent 152 112
start_saver /P "$parent"
wait_child
check_geometry 152 112
check_picture 152 112
note "preview 152x112 at (0, 0) inside $parent"

# It follows the parent's size.
xdotool windowsize "$parent" 200 150
sleep 0.3
check_geometry 200 150
check_picture 200 150

# Uncovered, it paints itself again.
"$X11_HELPER" window 100 80 >/dev/null &
cover_pid=$!
x11_pids+=($cover_pid)
sleep 0.3
kill "$cover_pid"
wait "$cover_pid" 2>/dev/null
check_picture 200 150

# ---- the parent's end is the preview's end
kill "$parent_pid"
wait_exit "$saver_pid" 1000 || fail "the preview outlived its parent by more than a second"
(( exit_status == 0 )) || fail "exit status $exit_status after the parent went"
note "parent gone: preview gone after ${waited_ms} ms"

# ---- no window, or one that does not exist
before=$(xwininfo -root -children | grep -c '^ *0x')
for id in 0 12345678 0x3fffff0; do
  start_saver /P "$id"
  wait_exit "$saver_pid" 1000 || fail "/P $id did not end within a second"
  (( exit_status == 0 )) || fail "/P $id: exit status $exit_status"
  note "/P $id: ended after ${waited_ms} ms"
done
(( $(xwininfo -root -children | grep -c '^ *0x') == before )) || fail "a window was left behind"

note ok
