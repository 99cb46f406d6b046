# Sourced by the display libraries (x11.sh, sway.sh), never by a script
# itself: what every end-to-end script on Linux needs whatever its display
# server, the program's paths, a private folder and the processes started
# (killed in the reverse order on exit), failure and notes, the settings
# file, starting the program and waiting for a process to end.

FROSTWISP_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
FROSTWISP_BIN=${FROSTWISP_BIN:-$FROSTWISP_ROOT/build/frostwisp}
ARTIFACTS=${ARTIFACTS:-$FROSTWISP_ROOT/build/e2e-artifacts}
script_name=$(basename "$0" .sh)

e2e_pids=()  # each server before its clients
e2e_tmp=$(mktemp -d)
e2e_main=$BASHPID
export FROSTWISP_SEED=7

e2e_cleanup() {
  # A background child killed before it has become its program runs this
  # trap too; only the script itself cleans up.
  [[ $BASHPID == "$e2e_main" ]] || return 0
  local i p
  for (( i = ${#e2e_pids[@]} - 1; i >= 0; i-- )); do
    p=${e2e_pids[i]}
    kill "$p" 2>/dev/null && wait "$p" 2>/dev/null
  done
  rm -rf "$e2e_tmp"
}
trap e2e_cleanup EXIT

fail() {
  echo "$script_name: FAILED: $*"
  [[ -s $e2e_tmp/saver.err ]] && echo "$script_name: the program said: $(head -c 600 "$e2e_tmp/saver.err")"
  exit 1
}

note() { echo "$script_name: $*"; }

[[ -x $FROSTWISP_BIN ]] || fail "no program at $FROSTWISP_BIN"
mkdir -p "$ARTIFACTS"

# Milliseconds since some fixed point.
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# Writes the settings file: settings Background=1 Restart=0 ...
settings() {
  { echo "[Settings]"; printf '%s\n' "$@"; } >"$XDG_CONFIG_HOME/frostwisp/frostwisp.ini"
}

# Runs the program in the background with the given arguments; $saver_pid.
start_saver() {
  "$FROSTWISP_BIN" "$@" >"$e2e_tmp/saver.out" 2>"$e2e_tmp/saver.err" &
  saver_pid=$!
  e2e_pids+=($saver_pid)
}

# Whether the process still runs. One that has ended but not been reaped yet
# (a zombie: the children a locker or swayidle leaves to init) counts as gone.
running() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  [[ ${stat%% *} != Z ]]
}

# Waits up to ms for the process to end; its exit status in $exit_status
# (empty for a process that is not this script's child) and the time it took
# in $waited_ms.
wait_exit() {
  local pid=$1 ms=$2 start status
  start=$(now_ms)
  while running "$pid" && (( $(now_ms) - start < ms )); do sleep 0.02; done
  waited_ms=$(( $(now_ms) - start ))
  if running "$pid"; then return 1; fi
  wait "$pid" 2>"$e2e_tmp/wait.err"
  status=$?
  exit_status=
  grep -q 'not a child' "$e2e_tmp/wait.err" || exit_status=$status
  return 0
}

# How many of the pixels (X Y pairs) of a picture have the colour "R G B";
# what the picture is (a window, a file) is up to the display's pixels().
count_colour() {
  local picture=$1 colour=$2
  shift 2
  pixels "$picture" "$@" 2>/dev/null | grep -c -x "$colour"
}
