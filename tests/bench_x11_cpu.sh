#!/usr/bin/env bash
# CPU cost of the full-screen saver against xsnow, each alone on its own
# virtual X server for the same interval: the program's own CPU, the X
# server's CPU, and their sum, as a share of one core. Arms: Frostwisp and
# xsnow at 1920x1080 and at 3840x2160, and the Windows build under Wine at
# 1920x1080. The arms run one after the other, round after round, so that
# a change in the machine's load falls on all of them; each round prints its
# ratios. After each Frostwisp arm its requests are counted for a few
# seconds (not while its CPU is measured: recording costs the server too).
# A benchmark, not a test: it prints numbers and judges nothing.
#
#   tests/bench_x11_cpu.sh                 # 3 rounds, 20 seconds each arm after a warm-up
#   BENCH_SECONDS=60 BENCH_ROUNDS=5 tests/bench_x11_cpu.sh
#   BENCH_ARMS="frostwisp-1080 xsnow-1080" tests/bench_x11_cpu.sh
#   tests/bench_x11_cpu.sh monitors
# "monitors" runs other arms: the saver on two monitors, 1920x1080 and
# 1280x1024 side by side (RandR monitors of a 3200x1080 screen), with 500
# and with 250 flakes at most a scene, against one scene of the whole
# 3200x1080 screen with 500. Each scene draws its own flake count, so two
# monitors with the same settings carry about twice the flakes of one
# scene; with half the count each they carry as many as it does.
# The arm wayland-1080 runs the same build on headless sway (1920x1080, as an
# unprivileged user of its own, since sway refuses root): the program's own
# CPU plus the compositor's, against frostwisp-1080's own plus the X
# server's; with the frames it presents a second (its sendmsg calls on the
# compositor's socket, counted by strace after the measured interval: one
# commit a frame is at least one) and its resident memory against the X11 arm's.
#   tests/bench_x11_cpu.sh idle
# "idle" runs the idle watcher (--idle 10) while it waits, on Xvfb and on
# headless sway, for at least 60 seconds each: its own CPU as a share of one
# core (wanted: below 0.1 %) and its resident memory (wanted: below 10 MB).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bin=${FROSTWISP_BIN:-build/frostwisp}
scr=${FROSTWISP_SCR:-build-win/frostwisp.scr}
counter=${FROSTWISP_REQUEST_COUNTER:-build/tests/x_request_count}
seconds=${BENCH_SECONDS:-20}
warmup=${BENCH_WARMUP:-8}
count_seconds=${BENCH_COUNT_SECONDS:-4}
rounds=${BENCH_ROUNDS:-3}
arms=${BENCH_ARMS:-frostwisp-1080 wayland-1080 xsnow-1080 frostwisp-2160 xsnow-2160 wine-1080}
[[ ${1:-} == monitors ]] && arms="two-500 one-500 two-250"
if [[ ${1:-} == idle ]]; then
  arms="idle-x11 idle-wayland"
  (( seconds >= 60 )) || seconds=60
  rounds=${BENCH_ROUNDS:-1}
fi
[[ -x $bin ]] || { echo "bench: no program at $bin (build it first)"; exit 1; }
[[ -x $counter || ${1:-} == idle ]] || { echo "bench: no request counter at $counter (build it first)"; exit 1; }

xsnow=$(command -v xsnow || echo /usr/games/xsnow)
if [[ $arms == *xsnow* && ! -x $xsnow ]]; then
  echo "bench: installing xsnow"
  sudo=()
  [[ $(id -u) -ne 0 ]] && sudo=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends xsnow >/dev/null ||
    { echo "bench: cannot install xsnow"; exit 1; }
  xsnow=$(command -v xsnow || echo /usr/games/xsnow)
fi
if [[ $arms == *wine* && ! -f $scr ]]; then
  echo "bench: no Windows build at $scr: the Wine arm is left out"
  arms=${arms//wine-1080/}
fi
# A build older than the sources would measure old code under the new name.
stale() { find host scene dialogs errors toolkit resources CMakeLists.txt -type f -newer "$1" -print -quit 2>/dev/null; }
builds=("$bin")
[[ $arms == *wine* ]] && builds+=("$scr")
for built in "${builds[@]}"; do
  newer=$(stale "$built")
  [[ -z $newer ]] || { echo "bench: $built is older than $newer (rebuild it first)"; exit 1; }
done

tmp=$(mktemp -d)
pids=()
main=$BASHPID
cleanup() {
  [[ $BASHPID == "$main" ]] || return 0
  local i
  for (( i = ${#pids[@]} - 1; i >= 0; i-- )); do kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null; done
  [[ -n ${WINEPREFIX:-} ]] && wineserver -k 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
hz=$(getconf CLK_TCK)

# Starts an X server of its own with a screen of $1 (WxH); $xvfb_pid, DISPLAY.
start_xvfb() {
  local fifo=$tmp/fd.$RANDOM number
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  pids+=($xvfb_pid)
  read -r -t 10 number <"$fifo" || { echo "bench: Xvfb did not start"; exit 1; }
  export DISPLAY=:$number
}

stop() {
  local p
  for p in "$@"; do kill "$p" 2>/dev/null && wait "$p" 2>/dev/null; done
}

# User plus system CPU time of processes, in clock ticks.
ticks() {
  local p sum=0 t
  for p in "$@"; do
    t=$(awk '{ print $14 + $15 }' "/proc/$p/stat" 2>/dev/null) && sum=$((sum + t))
  done
  echo "$sum"
}

# The processes of the Wine session: those with its prefix in their environment.
wine_pids() {
  local p
  for p in /proc/[0-9]*; do
    [[ ${p#/proc/} == "$BASHPID" || ${p#/proc/} == "$xvfb_pid" ]] && continue
    tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" && echo "${p#/proc/}"
  done
}

# Measures the client (the processes named by the command $1 prints) and its
# server over the interval; sets $own_pct, $server_pct, $own_ms.
measure() {
  local list=$1 c0 s0 t0 c1 s1 t1
  sleep "$warmup"
  local clients
  clients=$($list)
  [[ -n $clients ]] || { echo "bench: the client ended early"; exit 1; }
  c0=$(ticks $clients); s0=$(ticks "$xvfb_pid"); t0=$(date +%s%N)
  sleep "$seconds"
  c1=$(ticks $clients); s1=$(ticks "$xvfb_pid"); t1=$(date +%s%N)
  read -r own_pct server_pct own_ms < <(awk -v c=$((c1 - c0)) -v s=$((s1 - s0)) -v hz="$hz" -v ns=$((t1 - t0)) \
    'BEGIN { t = ns / 1e9; printf "%.2f %.2f %.1f\n", 100 * c / hz / t, 100 * s / hz / t, 1000 * c / hz }')
}

# Counts the requests on the server for a few seconds; sets $frames_per_s,
# $requests_per_frame, $pixels_per_frame, $clips_per_frame. A frame is one
# image put from each of $1 scenes (one by default).
count_requests() {
  local line
  line=$("$counter" "$count_seconds")
  read -r frames_per_s requests_per_frame pixels_per_frame clips_per_frame < <(awk -v s="$count_seconds" -v n="${1:-1}" '{
      r = $2; p = $4 / n; px = $8; c = $10; f = p > 0 ? p : 1
      printf "%.1f %.1f %.0f %.0f\n", p / s, r / f, px / f, c / f }' <<<"$line")
}

# The client's CPU a frame, in ms, from the last measure and count_requests.
ms_a_frame() { awk -v ms="$own_ms" -v f="$frames_per_s" -v s="$seconds" 'BEGIN { if (f > 0) printf "%.3f", ms / (f * s) }'; }

declare -A total own_per_tick requests rss_kb
report() {
  local arm=$1 extra=${2:-}
  total[$arm]=$(awk -v a="$own_pct" -v b="$server_pct" 'BEGIN { print a + b }')
  printf '%-15s own %6.2f %%   %s %6.2f %%   together %6.2f %%%s\n' \
    "$arm" "$own_pct" "${server_name:-X server}" "$server_pct" "${total[$arm]}" "$extra"
}

# The saver on a screen of $1 as arm $2, with at most $3 flakes a scene (500
# by default); with $4 = two, on the RandR monitors 1920x1080 and 1280x1024.
run_frostwisp() {
  local size=$1 arm=$2 flakes=${3:-500} monitors=${4:-one} saver
  start_xvfb "$size"
  if [[ $monitors == two ]]; then
    xrandr --setmonitor left 1920/508x1080/286+0+0 screen >/dev/null &&
      xrandr --setmonitor right 1280/338x1024/270+1920+0 none >/dev/null || { echo "bench: no RandR monitors"; exit 1; }
  fi
  mkdir -p "$tmp/config"
  XDG_CONFIG_HOME=$tmp/config FROSTWISP_SEED=1 "$bin" /S --max-flakes "$flakes" --background blue --no-restart &
  saver=$!
  pids+=($saver)
  measure "echo $saver"
  rss_kb[$arm]=$(awk '/^VmRSS/ { print $2 }' "/proc/$saver/status")
  count_requests "$([[ $monitors == two ]] && echo 2 || echo 1)"
  own_per_tick[$arm]=$(ms_a_frame)
  requests[$arm]=$requests_per_frame
  report "$arm" "$(printf '   %.1f frames/s, %s ms own CPU a frame, %s requests and %s clip rectangles a frame, %s pixels' \
    "$frames_per_s" "${own_per_tick[$arm]}" "$requests_per_frame" "$clips_per_frame" "$pixels_per_frame")"
  stop "$saver" "$xvfb_pid"
}

# Headless sway with one 1920x1080 output, run by the benchmark's own user;
# $sway_pid, WAYLAND_DISPLAY.
start_sway() {
  local user=frostwisp-e2e run=$tmp/run.$RANDOM socket tries=0
  id -u "$user" >/dev/null 2>&1 ||
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user" ||
    { echo "bench: cannot make the user $user"; exit 1; }
  chmod 755 "$tmp"
  mkdir -m 700 "$run"
  chown "$user:" "$run"
  echo "output HEADLESS-1 mode 1920x1080 position 0 0" >"$tmp/sway.config"
  chmod 644 "$tmp/sway.config"
  (cd / && exec setpriv --reuid="$user" --regid="$user" --clear-groups env -i PATH=/usr/bin:/bin HOME="$tmp" \
    XDG_RUNTIME_DIR="$run" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$tmp/sway.config" >/dev/null 2>&1) &
  sway_pid=$!
  pids+=($sway_pid)
  until socket=$(find "$run" -maxdepth 1 -type s -name 'wayland-*' | head -n1) && [[ -n $socket ]]; do
    (( tries++ < 250 )) || { echo "bench: sway did not start"; exit 1; }
    sleep 0.02
  done
  export WAYLAND_DISPLAY=$socket
}

# The saver at 1920x1080 on headless sway as arm $1; the compositor stands
# where the X server stands in the other arms.
run_wayland() {
  local arm=$1 saver calls
  start_sway
  XDG_CONFIG_HOME=$tmp/config FROSTWISP_SEED=1 "$bin" --wayland /S --max-flakes 500 --background blue --no-restart &
  saver=$!
  pids+=($saver)
  local xvfb_pid=$sway_pid server_name=compositor  # measure() and report() take these
  measure "echo $saver"
  rss_kb[$arm]=$(awk '/^VmRSS/ { print $2 }' "/proc/$saver/status")
  calls=$(timeout "$count_seconds" strace -f -e trace=sendmsg -p "$saver" 2>&1 | grep -c '^\(\[pid *[0-9]*\] \)\?sendmsg(')
  frames_per_s=$(awk -v c="$calls" -v s="$count_seconds" 'BEGIN { printf "%.1f", c / s }')
  own_per_tick[$arm]=$(ms_a_frame)
  report "$arm" "$(printf '   %s frames/s (sendmsg calls), %s ms own CPU a frame, %s kB resident' \
    "$frames_per_s" "${own_per_tick[$arm]}" "${rss_kb[$arm]}")"
  stop "$saver" "$sway_pid"
  unset WAYLAND_DISPLAY
}

# The idle watcher with ten minutes, waiting, as arm $1 on X ($2 = x11) or
# on sway ($2 = wayland).
run_idle() {
  local arm=$1 display=$2 watcher
  if [[ $display == x11 ]]; then start_xvfb 1920x1080; else start_sway; local xvfb_pid=$sway_pid server_name=compositor; fi
  XDG_CONFIG_HOME=$tmp/config XDG_RUNTIME_DIR=$tmp "$bin" --idle 10 2>/dev/null &
  watcher=$!
  pids+=($watcher)
  measure "echo $watcher"
  rss_kb[$arm]=$(awk '/^VmRSS/ { print $2 }' "/proc/$watcher/status")
  # Most of what is resident is the pages of the shared libraries the one
  # program links (GTK's among them), shared with every other process that
  # maps them: the proportional and the private share say what it costs.
  local pss private
  pss=$(awk '/^Pss:/ { print $2 }' "/proc/$watcher/smaps_rollup")
  private=$(awk '/^Private_(Clean|Dirty):/ { s += $2 } END { print s }' "/proc/$watcher/smaps_rollup")
  report "$arm" "$(printf '   %s kB resident, %s kB proportional, %s kB private (wanted: below 0.1 %% own CPU and 10240 kB resident)' \
    "${rss_kb[$arm]}" "$pss" "$private")"
  stop "$watcher" "$xvfb_pid"
  unset WAYLAND_DISPLAY
}

run_xsnow() {
  local size=$1 arm=$2 snow
  start_xvfb "$size"
  HOME=$tmp "$xsnow" -root -nomenu -noconfig -defaults -flakecountmax 500 -snowflakes 500 -notrees -nosanta \
    -nowind -stars 0 -nometeors -moon 0 -aurora 0 -showbirds 0 >/dev/null 2>&1 &
  snow=$!
  pids+=($snow)
  measure "echo $snow"
  report "$arm"
  stop "$snow" "$xvfb_pid"
}

run_wine() {
  local size=$1 arm=$2 saver settings='HKCU\Software\Frostwisp\Settings'
  (
    # Wine's own helpers start the session; its X server is the one measured.
    [[ $scr == /* ]] && export FROSTWISP_SCR=$scr || export FROSTWISP_SCR=$root/$scr
    source tests/e2e/lib/wine.sh
    trap end_wine_session EXIT
    wine_session "$size" >/dev/null 2>&1 || { echo "bench: no Wine session"; exit 1; }
    xvfb_pid=$FROSTWISP_XVFB_PID
    wine reg delete 'HKCU\Software\Frostwisp' /f >/dev/null 2>&1
    for kv in maxFl=500 Background=1 Restart=0; do
      wine reg add "$settings" /v "${kv%=*}" /t REG_SZ /d "${kv#*=}" /f >/dev/null 2>&1
    done
    FROSTWISP_SEED=1 wine "$SCR" /S >/dev/null 2>&1 &
    saver=$!
    measure wine_pids
    count_requests
    own_per_tick=$(ms_a_frame)
    echo "$own_pct $server_pct $frames_per_s $own_per_tick $requests_per_frame $clips_per_frame $pixels_per_frame" >"$tmp/wine"
    kill "$saver" 2>/dev/null
    wait "$saver" 2>/dev/null
  )
  [[ -s $tmp/wine ]] || return 1
  read -r own_pct server_pct frames_per_s own_tick requests_per_frame clips_per_frame pixels_per_frame <"$tmp/wine"
  rm -f "$tmp/wine"
  own_per_tick[$arm]=$own_tick
  report "$arm" "$(printf '   %.1f frames/s, %s ms CPU of the Wine processes a frame, %s requests and %s clip rectangles a frame' \
    "$frames_per_s" "$own_tick" "$requests_per_frame" "$clips_per_frame")"
}

ratio() { awk -v a="${total[$1]:-}" -v b="${total[$2]:-}" 'BEGIN { if (a != "" && b > 0) printf "%.2f", a / b; else printf "-" }'; }

echo "bench: $(nproc) cores; $rounds rounds of: $arms; warm-up $warmup s, then $seconds s each"
for (( round = 1; round <= rounds; round++ )); do
  echo "-- round $round; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
  total=()
  for arm in $arms; do
    case $arm in
      frostwisp-1080) run_frostwisp 1920x1080 "$arm" ;;
      frostwisp-2160) run_frostwisp 3840x2160 "$arm" ;;
      wayland-1080) run_wayland "$arm" ;;
      xsnow-1080) run_xsnow 1920x1080 "$arm" ;;
      xsnow-2160) run_xsnow 3840x2160 "$arm" ;;
      wine-1080) run_wine 1920x1080 "$arm" ;;
      two-500) run_frostwisp 3200x1080 "$arm" 500 two ;;
      one-500) run_frostwisp 3200x1080 "$arm" 500 ;;
      two-250) run_frostwisp 3200x1080 "$arm" 250 two ;;
      idle-x11) run_idle "$arm" x11 ;;
      idle-wayland) run_idle "$arm" wayland ;;
      *) echo "bench: no arm $arm" ;;
    esac
  done
  [[ ${1:-} == idle ]] && continue
  if [[ ${1:-} == monitors ]]; then
    echo "round $round: two monitors / one 3200x1080 scene = $(ratio two-500 one-500) with the same settings," \
      "$(ratio two-250 one-500) with as many flakes on the screen (own + X server)"
    continue
  fi
  if [[ -n ${total[wayland-1080]:-} ]]; then
    echo "round $round: Wayland / X11 at 1920x1080 = $(ratio wayland-1080 frostwisp-1080) (own + compositor against own + X server);" \
      "resident memory ${rss_kb[wayland-1080]:--} kB against ${rss_kb[frostwisp-1080]:--} kB"
  fi
  echo "round $round: frostwisp / xsnow at 1920x1080 = $(ratio frostwisp-1080 xsnow-1080)," \
    "at 3840x2160 = $(ratio frostwisp-2160 xsnow-2160); Wine / Linux at 1920x1080 = $(ratio wine-1080 frostwisp-1080);" \
    "requests a frame at 1920x1080 = ${requests[frostwisp-1080]:--}; own CPU a frame at 1920x1080 = ${own_per_tick[frostwisp-1080]:--} ms"
done
