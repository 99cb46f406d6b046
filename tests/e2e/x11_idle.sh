#!/usr/bin/env bash
# The idle watcher on an X server (Xvfb), whose idle source is the
# MIT-SCREEN-SAVER extension's idle time: the scene after three seconds
# without input, a pointer move ends it and the watcher stays, and a program
# that resets the server's saver every half second (xset s reset, as video
# players do through xdg-screensaver) keeps it away.
set -uo pipefail
source "$(dirname "$0")/lib/x11.sh"

x11_session 800x600
settings Background=1 Restart=0
band="119 172 252"
top_row=(5 0 150 0 300 0 450 0 600 0 795 0)
showing() { (( $(count_colour root "$band" "${top_row[@]}") >= 4 )); }

# Waits up to ms for the scene (or, with "gone", for its end); $waited_ms.
wait_scene() {
  local ms=$1 want=${2:-shown} start
  start=$(now_ms)
  while :; do
    if [[ $want == shown ]]; then showing && break; else showing || break; fi
    (( $(now_ms) - start < ms )) || return 1
    sleep 0.05
  done
  waited_ms=$(( $(now_ms) - start ))
}

saver_child() { pgrep -P "$watcher" -x frostwisp | head -n1; }

# ---- the scene after the idle period
xdotool mousemove 400 300
start=$(now_ms)
start_saver --idle 0.05
watcher=$saver_pid
wait_scene 12000 || fail "no scene 8 s after the last input ($(cat "$x11_tmp/saver.err"))"
after=$(( $(now_ms) - start ))
(( after >= 2500 )) || fail "the scene came ${after} ms after the last input, before the idle period"
note "the scene ${after} ms after the last input"

# ---- a pointer move ends it; the watcher stays and waits for the next period
child=$(saver_child)
[[ -n $child ]] || fail "the watcher has no saver child"
xdotool mousemove_relative 10 0 && sleep 0.1 && xdotool mousemove_relative 10 0
wait_exit "$child" 1000 2>/dev/null || fail "a pointer move did not end the saver"
wait_scene 1000 gone || fail "the scene stays after the move"
running "$watcher" || fail "the watcher ended with its saver"
note "a pointer move ended the saver; the watcher stays"

# ---- xset s reset every half second keeps it away
end=$(( $(now_ms) + 8000 ))
while (( $(now_ms) < end )); do
  xset s reset
  [[ -z $(saver_child) ]] || fail "a saver started while the server's saver was reset every half second"
  sleep 0.5
done
note "xset s reset every half second kept the saver away for 8 s"
wait_scene 12000 || fail "no scene after the resets stopped"
note "the scene back ${waited_ms} ms after the last reset"

kill -TERM "$watcher"
wait_exit "$watcher" 1000 || fail "the watcher did not end within a second of SIGTERM"
wait_scene 1000 gone || fail "the scene stays after SIGTERM"
echo "$script_name: ok"
