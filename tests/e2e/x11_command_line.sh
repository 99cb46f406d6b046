#!/usr/bin/env bash
# The Linux program's own flags from the outside: settings given on the
# command line win over the stored ones for one run and are never written,
# in the saver and in the off-screen renderer alike; a bad value, an
# XSCREENSAVER_WINDOW that is no window id, or no X display, is one line on
# standard error and a non-zero exit.
set -uo pipefail
source "$(dirname "$0")/lib/x11.sh"

x11_session 640x480
settings Background=0 Restart=0 maxFl=30
ini=$XDG_CONFIG_HOME/frostwisp/frostwisp.ini
cp "$ini" "$x11_tmp/before.ini"
band="119 172 252"

# ---- one line and a non-zero exit for each bad value, at once
for args in "--max-flakes 501" "--speed fast" "--size -1" "--restart-minutes 0" "--background purple" \
            "--date=yes" "--no-such-flag" "-window-id 0xZZ" "--max-flakes"; do
  # shellcheck disable=SC2086
  timeout 5 "$FROSTWISP_BIN" $args >"$x11_tmp/out" 2>"$x11_tmp/err"
  status=$?
  (( status != 0 && status != 124 )) || fail "'$args' gave exit status $status"
  [[ $(wc -l <"$x11_tmp/err") -eq 1 ]] || fail "'$args': expected one line on standard error, got: $(cat "$x11_tmp/err")"
  [[ ! -s $x11_tmp/out ]] || fail "'$args' wrote to standard output"
done
[[ -z $(window_named Glimmerkin) ]] || fail "a bad flag opened the scene"

# ---- a daemon's variable that names no window: status 2 as for a bad
# -window-id, never the full-screen saver with its grabs
for args in "-window-id 0xZZ" "-root" ""; do
  # shellcheck disable=SC2086
  XSCREENSAVER_WINDOW=0xZZ timeout 5 "$FROSTWISP_BIN" $args >"$x11_tmp/out" 2>"$x11_tmp/err"
  status=$?
  (( status == 2 )) || fail "XSCREENSAVER_WINDOW=0xZZ $args: exit status $status"
  [[ $(wc -l <"$x11_tmp/err") -eq 1 ]] || fail "XSCREENSAVER_WINDOW=0xZZ $args: $(cat "$x11_tmp/err")"
done

"$FROSTWISP_BIN" --help >"$x11_tmp/out" 2>&1 || fail "--help failed"
grep -q -- '--max-flakes' "$x11_tmp/out" || fail "--help does not list the flags"

# ---- no display
env -u DISPLAY "$FROSTWISP_BIN" >"$x11_tmp/out" 2>"$x11_tmp/err"
status=$?
(( status != 0 )) || fail "no display gave exit status 0"
[[ $(wc -l <"$x11_tmp/err") -eq 1 ]] && grep -q 'display' "$x11_tmp/err" ||
  fail "no display: expected one line about it, got: $(cat "$x11_tmp/err")"

# ---- the saver with overrides: blue although black is stored
start_saver --background blue --max-flakes 22 --no-restart
start=$(now_ms)
while (( $(count_colour root "$band" 5 0 200 0 400 0 635 0) < 3 )) && (( $(now_ms) - start < 3000 )); do sleep 0.02; done
(( $(count_colour root "$band" 5 0 200 0 400 0 635 0) >= 3 )) || fail "--background blue did not win over the stored black"
keep_screenshot root overridden
xdotool key Escape
wait_exit "$saver_pid" 1000 || fail "Escape did not end the saver"
cmp -s "$ini" "$x11_tmp/before.ini" || fail "the settings file changed: $(cat "$ini")"

# ---- the renderer with the same flags; its --size is the picture's
"$FROSTWISP_BIN" --render "$x11_tmp/render.png" --size 64x48 --ticks 1 --background blue --size 3 ||
  fail "the renderer refused the flags"
[[ $(identify -format '%wx%h' "$x11_tmp/render.png") == 64x48 ]] || fail "the renderer's picture is not 64x48"
top=$(convert "$x11_tmp/render.png" -crop 64x1+0+0 +repage -format '%c' histogram:info: | grep -c '(119,172,252)')
(( top > 0 )) || fail "the rendered picture is not blue at the top"
cmp -s "$ini" "$x11_tmp/before.ini" || fail "the renderer changed the settings file"

note ok
