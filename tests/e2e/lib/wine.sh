# Sourced by the wine_*.sh end-to-end scripts and by scripts/test: a Wine
# prefix made once and set up for unattended runs, on a virtual X display.
#
#   source tests/e2e/lib/wine.sh
#   wine_session 1024x768   # DISPLAY and WINEPREFIX ready, wineserver running
#   ...
#   end_wine_session        # (run on exit unless the script has an exit trap)
#
# Wine's desktop process learns the screen's size once, when the session's
# first window opens, and keeps it for the session; so every session starts
# its own wineserver on its own display and ends both when it is done.

FROSTWISP_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
export WINEPREFIX=${FROSTWISP_WINEPREFIX:-$FROSTWISP_ROOT/build-win/wine}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
SCR=${FROSTWISP_SCR:-$FROSTWISP_ROOT/build-win/frostwisp.scr}
WINE_HELPER=${FROSTWISP_WINE_HELPER:-$FROSTWISP_ROOT/build-win/tests/wine_test_helper.exe}

# Creates the prefix when it is missing.
wine_prefix() {
  [[ -f $WINEPREFIX/system.reg ]] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot -i >/dev/null 2>&1 || return 1
  # Without a window manager, closing a managed full-screen window stalls
  # for two seconds; unmanaged windows close at once.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || return 1
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Comic Sans MS' /t REG_SZ /d 'Comic Neue' /f \
    >/dev/null 2>&1 || return 1
  wineserver -w
}

# Starts Xvfb on a free display with the given screen size and exports DISPLAY.
start_display() {
  local size=${1:-1024x768} n i
  for n in $(seq 90 140); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    FROSTWISP_XVFB_PID=$!
    for i in $(seq 50); do
      if [[ -e /tmp/.X11-unix/X$n ]]; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$FROSTWISP_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
  done
  echo "start_display: no X server" >&2
  return 1
}

wine_session() {
  start_display "${1:-1024x768}" || return 1
  # A script with its own exit trap calls end_wine_session there.
  [[ -n $(trap -p EXIT) ]] || trap end_wine_session EXIT
  wine_prefix || return 1
  restart_wine
}

# A fresh wineserver on the session's display: for a new session, and for
# settings Wine reads only when it starts (the screen's DPI).
restart_wine() {
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  # A persistent server: every wine process of the session starts quickly.
  wineserver -p
  # The session's first process starts Wine's own services and desktop, which
  # keep its output open; started here, they hold no test's pipe.
  wine cmd /c exit >/dev/null 2>&1 </dev/null
}

end_wine_session() {
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  if [[ -n ${FROSTWISP_XVFB_PID:-} ]]; then
    kill "$FROSTWISP_XVFB_PID" 2>/dev/null
    wait "$FROSTWISP_XVFB_PID" 2>/dev/null
  fi
  FROSTWISP_XVFB_PID=
}

# Waits up to $2 seconds (default 20) for file $1 to have content.
wait_for_file() {
  local file=$1 limit=$(( ${2:-20} * 10 )) i
  for (( i = 0; i < limit; i++ )); do
    [[ -s $file ]] && return 0
    sleep 0.1
  done
  return 1
}

# Waits up to $2 seconds (default 10) for process $1 to end; its status is the
# function's status (124 when it did not end).
wait_for_exit() {
  local pid=$1 limit=$(( ${2:-10} * 10 )) i
  for (( i = 0; i < limit; i++ )); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      return $?
    fi
    sleep 0.1
  done
  return 124
}

# The Windows path of an absolute Linux one, through the Z: drive that every
# prefix maps to "/". Worked out here rather than by winepath, which is one
# more Wine process that can come back empty while the session settles.
winpath() { local p=${1//\//\\}; printf 'Z:%s\n' "$p"; }

# The system's screen-saver activation as another program sees it: 1 or 0;
# with an argument, sets it first.
screensaver_active() {
  [[ $# -eq 0 ]] || wine "$WINE_HELPER" screensaver-active "$1" || return 1
  wine "$WINE_HELPER" screensaver-active | tr -d '\r'
}
