#!/usr/bin/env bash
# The idle watcher on headless sway (whose idle source is org_kde_kwin_idle)
# with two outputs: after three seconds without input the scene shows on both
# outputs; a pointer move ends it and the watcher stays; the next idle period
# brings it back; a second watcher ends at once; SIGTERM ends the watcher and
# its saver within a second; a client holding an idle inhibitor keeps the
# saver away; a compositor that goes away ends the watcher with status 1.
set -uo pipefail
source "$(dirname "$0")/lib/sway.sh"

sway_session
add_output 1280x720 1920 0
second=$new_output
pointer_start
settings Background=1 Restart=0

# The saver the watcher started, or nothing.
saver_child() { pgrep -P "$watcher" -x frostwisp | head -n1; }

no_band_anywhere() { ! showing_band HEADLESS-1 && ! showing_band "$second"; }

# Waits up to ms for the scene to go from both outputs; $waited_ms.
wait_for_no_band() {
  local ms=$1 start
  start=$(now_ms)
  until no_band_anywhere; do
    (( $(now_ms) - start < ms )) || return 1
    sleep 0.05
  done
  waited_ms=$(( $(now_ms) - start ))
}

# ---- the scene after the idle period, on both outputs
pointer move 1 0
start_saver --idle 0.05
watcher=$saver_pid
start=$(now_ms)
wait_for_band 12000 HEADLESS-1 "$second" || fail "no scene on both outputs ${waited_ms} ms after the watcher started"
after=$(( $(now_ms) - start ))
(( after >= 2000 )) || fail "the scene came ${after} ms after the last input, before the idle period"
grep -q '(org_kde_kwin_idle)' "$wl_tmp/saver.err" || fail "the watcher said: $(cat "$wl_tmp/saver.err")"
note "the scene on both outputs ${after} ms after the last input"
keep_screenshot HEADLESS-1 idle-scene

# ---- a pointer move ends it; the watcher stays
child=$(saver_child)
[[ -n $child ]] || fail "the watcher has no saver child"
steps_before=$(now_ms)
pointer move 10 0 && sleep 0.1 && pointer move 10 0
wait_exit "$child" 1000 || fail "the saver did not end within a second of a pointer move"
wait_for_no_band 1000 || fail "the scene stays after the saver ended"
running "$watcher" || fail "the watcher ended with its saver"
note "a pointer move ended the saver after $(( $(now_ms) - steps_before )) ms; the watcher stays"

# ---- the next idle period brings it back
start=$(now_ms)
wait_for_band 12000 HEADLESS-1 "$second" || fail "no scene after the second idle period"
note "the scene back $(( $(now_ms) - start )) ms after the move"

# ---- one watcher a session
timeout 5 "$FROSTWISP_BIN" --idle 0.05 2>"$wl_tmp/second.err"
status=$?
(( status == 0 )) || fail "a second watcher ended with status $status: $(cat "$wl_tmp/second.err")"
grep -q 'already runs' "$wl_tmp/second.err" || fail "a second watcher said: $(cat "$wl_tmp/second.err")"
note "a second watcher: $(cat "$wl_tmp/second.err")"

# ---- SIGTERM ends the watcher and its saver within a second
child=$(saver_child)
[[ -n $child ]] || fail "no saver child before SIGTERM"
start=$(now_ms)
kill -TERM "$watcher"
wait_exit "$watcher" 1000 || fail "the watcher did not end within a second of SIGTERM"
(( exit_status == 0 )) || fail "the watcher's status after SIGTERM: $exit_status"
! running "$child" || fail "the saver outlived its watcher"
gone_ms=$(( $(now_ms) - start ))
wait_for_no_band 1000 || fail "the scene stays after SIGTERM"
note "SIGTERM: the watcher and its saver gone after ${gone_ms} ms, the scene with them"

# ---- an idle inhibitor on a mapped surface keeps the saver away
"$WAYLAND_HELPER" picture 303030 --inhibit-idle >"$wl_tmp/inhibitor.out" 2>&1 &
inhibitor=$!
wl_pids+=($inhibitor)
for _ in $(seq 100); do grep -q ready "$wl_tmp/inhibitor.out" && break; sleep 0.05; done
grep -q ready "$wl_tmp/inhibitor.out" || fail "no inhibiting client: $(cat "$wl_tmp/inhibitor.out")"
start_saver --idle 0.05
watcher=$saver_pid
sleep 10
[[ -z $(saver_child) ]] || fail "a saver started while a client inhibited idling"
no_band_anywhere || fail "the scene shows while a client inhibits idling"
kill "$inhibitor"
wait_for_band 12000 HEADLESS-1 "$second" || fail "no scene after the inhibiting client ended"
note "an idle inhibitor kept the saver away for 10 s; the scene came ${waited_ms} ms after it ended"

# ---- a compositor that goes away ends the watcher with status 1 and one line
kill "${wl_pids[0]}"
wait_exit "$watcher" 3000 || fail "the watcher outlived its compositor"
(( exit_status == 1 )) || fail "the watcher's status after the compositor went: $exit_status"
grep -q 'went away' "$wl_tmp/saver.err" || fail "the watcher said: $(cat "$wl_tmp/saver.err")"
note "the compositor gone: status 1 after ${waited_ms} ms: $(tail -n1 "$wl_tmp/saver.err")"
echo "$script_name: ok"
