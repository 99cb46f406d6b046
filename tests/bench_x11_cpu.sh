#!/usr/bin/env bash
# CPU cost of the full-screen saver against xsnow, each alone on its own
# 1920x1080 virtual X server for the same interval: the program's own CPU,
# the X server's CPU, and their sum, as a share of one core, with the ratio.
# With "monitors" it measures the saver on two monitors, 1920x1080 and
# 1280x1024 side by side (RandR monitors of a 3200x1080 screen), against one
# scene of the whole 3200x1080 screen, in rounds whose arms take turns, and
# prints the ratios of each round and their means.
# A benchmark, not a test: it prints numbers and judges nothing.
#
#   tests/bench_x11_cpu.sh            # 20 seconds each after a warm-up
#   BENCH_SECONDS=60 tests/bench_x11_cpu.sh
#   BENCH_ROUNDS=3 tests/bench_x11_cpu.sh monitors
set -uo pipefail
cd "$(dirname "$0")/.."
bin=${FROSTWISP_BIN:-build/frostwisp}
seconds=${BENCH_SECONDS:-20}
warmup=${BENCH_WARMUP:-8}
rounds=${BENCH_ROUNDS:-3}
what=${1:-xsnow}
[[ -x $bin ]] || { echo "bench: no program at $bin (build it first)"; exit 1; }

xsnow=$(command -v xsnow || echo /usr/games/xsnow)
if [[ $what == xsnow && ! -x $xsnow ]]; then
  echo "bench: installing xsnow"
  sudo=()
  [[ $(id -u) -ne 0 ]] && sudo=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends xsnow >/dev/null ||
    { echo "bench: cannot install xsnow"; exit 1; }
  xsnow=$(command -v xsnow || echo /usr/games/xsnow)
fi

tmp=$(mktemp -d)
pids=()
main=$BASHPID
cleanup() {
  [[ $BASHPID == "$main" ]] || return 0
  local i
  for (( i = ${#pids[@]} - 1; i >= 0; i-- )); do kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null; done
  rm -rf "$tmp"
}
trap cleanup EXIT
hz=$(getconf CLK_TCK)

# Starts an X server of its own (by default 1920x1080); $xvfb_pid,
# $server_pids (the X server's processes), DISPLAY.
start_xvfb() {
  local fifo=$tmp/fd.$1 number
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${2:-1920x1080}x24" -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  pids+=($xvfb_pid)
  server_pids=($xvfb_pid)
  read -r -t 10 number <"$fifo" || { echo "bench: Xvfb did not start"; exit 1; }
  export DISPLAY=:$number
}

# User plus system CPU time of processes, in clock ticks.
ticks() { local p; for p in "$@"; do cat "/proc/$p/stat"; done | awk '{ n += $14 + $15 } END { print n }'; }

# Measures a running client and its server (all of $server_pids) over the
# interval; prints a line and sets $client_pct, $server_pct.
measure() {
  local name=$1 client=$2 c0 s0 t0 c1 s1 t1
  sleep "$warmup"
  kill -0 "$client" 2>/dev/null || { echo "bench: $name ended early"; exit 1; }
  c0=$(ticks "$client"); s0=$(ticks "${server_pids[@]}"); t0=$(date +%s%N)
  sleep "$seconds"
  c1=$(ticks "$client"); s1=$(ticks "${server_pids[@]}"); t1=$(date +%s%N)
  read -r client_pct server_pct < <(awk -v c=$((c1 - c0)) -v s=$((s1 - s0)) -v hz="$hz" -v ns=$((t1 - t0)) \
    'BEGIN { t = ns / 1e9; printf "%.1f %.1f\n", 100 * c / hz / t, 100 * s / hz / t }')
  printf '%-10s own %5.1f %%   X server %5.1f %%   together %5.1f %%  (of one core, over %s s)\n' \
    "$name" "$client_pct" "$server_pct" "$(awk -v a="$client_pct" -v b="$server_pct" 'BEGIN { print a + b }')" "$seconds"
}

# Frames a second of the saver: between two frames its event loop waits once,
# in ppoll, for the next tick. (Requests are no measure: Xlib flushes its
# buffer as often as a frame's rectangles fill it.)
frame_rate() {
  local count
  count=$(timeout 5 strace -f -c -e trace=ppoll -p "$1" 2>&1 | awk '$NF == "ppoll" { print $4 }')
  awk -v n="${count:-0}" 'BEGIN { printf "%.1f", n / 5 }'
}

# Ends the saver and the servers of one arm.
stop_arm() {
  local p
  for p in "$@"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
}

echo "bench: $(nproc) cores; warm-up $warmup s, then $seconds s each"

if [[ $what == monitors ]]; then
  mkdir -p "$tmp/config"
  # One arm: the saver with at most $2 flakes a scene on a 3200x1080 screen,
  # with the monitors $3 ("two": RandR monitors 1920x1080 and 1280x1024) or
  # one; its share of a core, own plus X server, in $total.
  arm() {
    local name=$1 flakes=$2 monitors=$3 saver
    start_xvfb "$name-$round" 3200x1080
    if [[ $monitors == two ]]; then
      xrandr --setmonitor left 1920/508x1080/286+0+0 screen >/dev/null &&
        xrandr --setmonitor right 1280/338x1024/270+1920+0 none >/dev/null || { echo "bench: no RandR monitors"; exit 1; }
    fi
    XDG_CONFIG_HOME=$tmp/config FROSTWISP_SEED=1 "$bin" /S --max-flakes "$flakes" --background blue --no-restart &
    saver=$!
    pids+=($saver)
    measure "$name" "$saver"
    command -v strace >/dev/null && printf '%-10s %s loop wake-ups a second\n' "$name" "$(frame_rate "$saver")"
    total=$(awk -v a="$client_pct" -v b="$server_pct" 'BEGIN { print a + b }')
    stop_arm "$saver" "$xvfb_pid"
  }
  same=()
  halved=()
  for (( round = 1; round <= rounds; round++ )); do
    echo "round $round"
    # Each scene draws its own flake count, so two monitors with the same
    # settings carry about twice the flakes of one scene; with half the
    # count each they carry as many as it does.
    arm two-500 500 two; two=$total
    arm one-500 500 one; one=$total
    arm two-250 250 two; two_half=$total
    same+=("$(awk -v t="$two" -v o="$one" 'BEGIN { printf "%.3f", (o > 0 ? t / o : 0) }')")
    halved+=("$(awk -v t="$two_half" -v o="$one" 'BEGIN { printf "%.3f", (o > 0 ? t / o : 0) }')")
    echo "ratio      two monitors / one 3200x1080 scene: ${same[-1]} with the same settings," \
      "${halved[-1]} with as many flakes on the screen (own + X server)"
  done
  mean() { printf '%s\n' "$@" | awk '{ s += $1; n++ } END { printf "%.3f", s / n }'; }
  echo "ratio      mean of $rounds rounds: $(mean "${same[@]}") with the same settings, $(mean "${halved[@]}") with as many flakes"
  exit 0
fi

# ---- Frostwisp: 500 flakes at most (it draws between half and all of them)
start_xvfb frostwisp
mkdir -p "$tmp/config"
XDG_CONFIG_HOME=$tmp/config FROSTWISP_SEED=1 "$bin" /S --max-flakes 500 --background blue --no-restart &
saver=$!
pids+=($saver)
measure frostwisp "$saver"
fw_total=$(awk -v a="$client_pct" -v b="$server_pct" 'BEGIN { print a + b }')
command -v strace >/dev/null && echo "frostwisp  $(frame_rate "$saver") frames a second"
kill "$saver"; wait "$saver" 2>/dev/null
kill "$xvfb_pid"; wait "$xvfb_pid" 2>/dev/null

# ---- xsnow: about 500 flakes, nothing else
start_xvfb xsnow
HOME=$tmp "$xsnow" -root -nomenu -noconfig -defaults -flakecountmax 500 -snowflakes 500 -notrees -nosanta \
  -nowind -stars 0 -nometeors -moon 0 -aurora 0 -showbirds 0 >/dev/null 2>&1 &
snow=$!
pids+=($snow)
measure xsnow "$snow"
xs_total=$(awk -v a="$client_pct" -v b="$server_pct" 'BEGIN { print a + b }')
kill "$snow"; wait "$snow" 2>/dev/null

awk -v f="$fw_total" -v x="$xs_total" \
  'BEGIN { if (x > 0) printf "ratio      frostwisp / xsnow = %.2f (own + X server)\n", f / x }'
