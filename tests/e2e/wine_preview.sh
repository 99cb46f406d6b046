#!/usr/bin/env bash
# frostwisp.scr /P under Wine in a window of another program, as the system's
# settings page shows it: the preview ends within 2 s of its parent, whether
# the parent's program closes it (WM_CLOSE) or is killed, and the system's
# screen-saver activation, which the preview switches off, is on again.
set -uo pipefail
source "$(dirname "$0")/lib/wine.sh"

fail() { echo "wine_preview: $*"; exit 1; }
[[ -f $SCR ]] || fail "no $SCR (build the windows preset first)"
[[ -f $WINE_HELPER ]] || fail "no $WINE_HELPER (build the windows preset first)"
tmp=$(mktemp -d)
trap 'end_wine_session; rm -rf "$tmp"' EXIT
wine_session 640x480 || fail "no Wine session"

now_ms() { date +%s%3N; }

for how in close kill; do
  [[ $(screensaver_active 1) == 1 ]] || fail "$how: cannot switch the screen saver on"
  rm -f "$tmp/hwnd" "$tmp/ready"
  wine "$WINE_HELPER" parent-window 152 112 > "$tmp/hwnd" &
  parent=$!
  wait_for_file "$tmp/hwnd" 20 || fail "$how: no parent window"
  hwnd=$(tr -d '\r' < "$tmp/hwnd")
  FROSTWISP_READY_FILE=$(winpath "$tmp/ready") wine "$SCR" /p "$hwnd" &
  pid=$!
  wait_for_file "$tmp/ready" 20 || fail "$how: no preview within 20 s"
  [[ $(tr -d '\r' < "$tmp/ready") == "frmPreview 152 112" ]] || fail "$how: first frame from '$(cat "$tmp/ready")'"
  [[ $(screensaver_active) == 0 ]] || fail "$how: the screen saver stayed on while previewing"

  start=$(now_ms)
  if [[ $how == close ]]; then
    wine "$WINE_HELPER" close "$hwnd" || fail "close: WM_CLOSE not posted"
  else
    kill -KILL "$parent"
    wait "$parent" 2>/dev/null
  fi
  wait_for_exit "$pid" 2
  status=$?
  took=$(( $(now_ms) - start ))
  wait "$parent" 2>/dev/null
  if [[ $status -eq 124 ]]; then
    kill "$pid" 2>/dev/null
    fail "$how: the preview still runs 2 s after its parent went"
  fi
  [[ $status -eq 0 ]] || fail "$how: exit status $status"
  [[ $(screensaver_active) == 1 ]] || fail "$how: the screen saver stays off after the preview"
  echo "wine_preview: $how: the preview ended ${took} ms after its parent"
done
echo "wine_preview: ok"
