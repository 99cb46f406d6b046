#!/usr/bin/env bash
# CPU cost of the full-screen saver against xsnow, each alone on its own
# 1920x1080 virtual X server for the same interval: the program's own CPU,
# the X server's CPU, and their sum, as a share of one core, with the ratio.
# A benchmark, not a test: it prints numbers and judges nothing.
#
#   tests/bench_x11_cpu.sh            # 20 seconds each after a warm-up
#   BENCH_SECONDS=60 tests/bench_x11_cpu.sh
set -uo pipefail
cd "$(dirname "$0")/.."
bin=${FROSTWISP_BIN:-build/frostwisp}
seconds=${BENCH_SECONDS:-20}
warmup=${BENCH_WARMUP:-8}
[[ -x $bin ]] || { echo "bench: no program at $bin (build it first)"; exit 1; }

xsnow=$(command -v xsnow || echo /usr/games/xsnow)
if [[ ! -x $xsnow ]]; then
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

# Starts an X server of its own; $xvfb_pid, DISPLAY.
start_xvfb() {
  local fifo=$tmp/fd.$1 number
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  pids+=($xvfb_pid)
  read -r -t 10 number <"$fifo" || { echo "bench: Xvfb did not start"; exit 1; }
  export DISPLAY=:$number
}

# User plus system CPU time of a process, in clock ticks.
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# Measures a running client and its server over the interval; prints a line
# and sets $client_pct, $server_pct.
measure() {
  local name=$1 client=$2 c0 s0 t0 c1 s1 t1
  sleep "$warmup"
  kill -0 "$client" 2>/dev/null || { echo "bench: $name ended early"; exit 1; }
  c0=$(ticks "$client"); s0=$(ticks "$xvfb_pid"); t0=$(date +%s%N)
  sleep "$seconds"
  c1=$(ticks "$client"); s1=$(ticks "$xvfb_pid"); t1=$(date +%s%N)
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

echo "bench: $(nproc) cores; warm-up $warmup s, then $seconds s each"

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
