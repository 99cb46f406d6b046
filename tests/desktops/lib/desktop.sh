# Sourced by the tests/desktops/*_idle.sh scripts: the end-to-end library's
# unprivileged user, runtime folder and helpers, plus what a big desktop
# needs around it: D-Bus buses of the test's own, and line-driven helpers
# that run for the whole test.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib/sway.sh"

DESKTOP_LIB=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# A home and a runtime folder of the compositor's user; $home, $runtime_dir.
desktop_user() {
  sway_user
  private_runtime_dir
  home=$wl_tmp/home
  mkdir -p "$home"
  chown "$SWAY_USER:" "$home"
  export XDG_CONFIG_HOME=$wl_tmp/config XDG_STATE_HOME=$wl_tmp/state
  mkdir -p "$XDG_CONFIG_HOME/frostwisp"
}

# A message bus run by the compositor's user at $runtime_dir/NAME; its
# address in $bus_address. Root, which runs the program and the helpers, may
# connect to it as well.
start_bus() {
  local socket=$runtime_dir/$1 config=$wl_tmp/bus.conf tries=0
  cat >"$config" <<'CONF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <include>/usr/share/dbus-1/session.conf</include>
  <policy context="default">
    <allow user="root"/>
  </policy>
</busconfig>
CONF
  chmod 644 "$config"
  as_user dbus-daemon --config-file="$config" --nofork --address="unix:path=$socket" \
    >"$wl_tmp/$1.log" 2>&1
  wl_pids+=($!)
  until [[ -S $socket ]]; do
    (( tries++ < 250 )) || fail "the bus $1 did not start: $(cat "$wl_tmp/$1.log")"
    sleep 0.02
  done
  bus_address=unix:path=$socket
}

# Runs a helper that reads command lines and answers "ok" to each, after a
# first "ready": serve NAME COMMAND...; then say NAME LINE.
serve() {
  local name=$1 tries=0
  shift
  mkfifo "$wl_tmp/$name.in"
  "$@" <"$wl_tmp/$name.in" >"$wl_tmp/$name.out" 2>"$wl_tmp/$name.err" &
  wl_pids+=($!)
  eval "exec {${name}_fd}>\"\$wl_tmp/\$name.in\""
  until grep -q '^ready$' "$wl_tmp/$name.out" 2>/dev/null; do
    (( tries++ < 500 )) || fail "$name is not ready: $(cat "$wl_tmp/$name.err")"
    sleep 0.02
  done
}

say() {
  local name=$1 fd before tries=0
  shift
  fd=${name}_fd
  before=$(grep -c '^ok$' "$wl_tmp/$name.out")
  echo "$*" >&"${!fd}" || fail "$name has gone"
  until (( $(grep -c '^ok$' "$wl_tmp/$name.out") > before )); do
    (( tries++ < 250 )) || fail "$name did not answer '$*': $(tail -n 3 "$wl_tmp/$name.err")"
    sleep 0.02
  done
}

# The saver the watcher started, or nothing.
saver_child() { pgrep -P "$watcher" -x frostwisp | head -n1; }

# Waits up to ms for the watcher to have a saver (or, with "none", to have
# none); $waited_ms.
wait_child() {
  local ms=$1 want=${2:-some} start
  start=$(now_ms)
  while :; do
    if [[ $want == some ]]; then [[ -n $(saver_child) ]] && break; else [[ -z $(saver_child) ]] && break; fi
    (( $(now_ms) - start < ms )) || return 1
    sleep 0.05
  done
  waited_ms=$(( $(now_ms) - start ))
}

# Starts the watcher as root on the desktop's display and session bus;
# $watcher.
start_watcher() {
  mkdir -p "$wl_tmp/root-run"
  chmod 700 "$wl_tmp/root-run"
  XDG_RUNTIME_DIR=$wl_tmp/root-run "$FROSTWISP_BIN" "$@" >"$wl_tmp/watcher.out" 2>"$wl_tmp/watcher.err" &
  watcher=$!
  wl_pids+=($watcher)
}
