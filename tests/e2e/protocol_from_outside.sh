#!/usr/bin/env bash
# The error protocol from outside. A stored setting that is no number, or a
# number too large for its field: the program, started with a switch that
# opens nothing (or as the off-screen renderer), reports the bad read three
# times and leaves the settings file alone. Where the protocol's name beside
# the program is a link, a pipe or another user's file, nothing is written
# there and the program never waits: the report goes to the user's state
# folder. A protocol of 1 MiB becomes frostwisp.EPT.1. Without HOME nothing
# is read from, or written to, the shared temporary folder.
set -uo pipefail
cd "$(dirname "$0")/../.."
bin=build/frostwisp
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "protocol_from_outside: $*"; exit 1; }
mkdir -p "$tmp/config/frostwisp" "$tmp/bin"
cp "$bin" "$tmp/bin/frostwisp"
ini=$tmp/config/frostwisp/frostwisp.ini
printf '; mine\r\n[Settings]\r\nmaxFl=abc\r\nrTime=600\r\n' > "$ini"
cp "$ini" "$tmp/before.ini"
ept=$tmp/bin/frostwisp.EPT
state_ept=$tmp/state/frostwisp/frostwisp.EPT
export XDG_CONFIG_HOME=$tmp/config XDG_STATE_HOME=$tmp/state FROSTWISP_SEED=1

# Runs "/X" with a time limit; fails when it takes longer than 2 s or ends badly.
run_x() {
  local start rc elapsed_ms
  start=$(date +%s%N)
  timeout 10 "$tmp/bin/frostwisp" /X
  rc=$?
  elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
  [[ $rc -eq 0 ]] || fail "$1: exit status $rc"
  (( elapsed_ms < 2000 )) || fail "$1: took ${elapsed_ms} ms"
}
blocks() { grep -c 'PROGRAMM-INFO:' "$1" 2>/dev/null; }

run_x "a bad stored maxFl"
cmp -s "$tmp/before.ini" "$ini" || fail "settings file changed"
[[ -f $ept ]] || fail "no protocol beside the program"
[[ $(blocks "$ept") -eq 3 ]] || fail "expected 3 blocks"
[[ $(grep -c $'Fehler-Nr / error :\t13 (Type mismatch)' "$ept") -eq 3 ]] || fail "error 13 not named 3 times"
[[ $(grep -c $'Modul:\tSaver\r$' "$ept") -eq 3 ]] || fail "module"
[[ $(grep -c $'Prozedur / procedure:\tLoadConfig\r$' "$ept") -eq 3 ]] || fail "procedure"

# ---- a protocol of 1 MiB or more is kept as frostwisp.EPT.1 (replacing an
# older one) and a new one begins
head -c 1048576 /dev/zero | tr '\0' 'x' > "$ept"
echo older > "$ept.1"
run_x "a full protocol"
[[ $(stat -c %s "$ept.1") -eq 1048576 ]] || fail "the full protocol did not become frostwisp.EPT.1"
[[ $(blocks "$ept") -eq 3 ]] || fail "the new protocol does not hold the 3 new blocks"

# ---- names someone else has put there: a link to the user's own file, a
# pipe (which once held the program in open), another user's file
echo "precious" > "$tmp/victim"
hostile=(link pipe)
[[ $(id -u) -eq 0 ]] && hostile+=(foreign)
for kind in "${hostile[@]}"; do
  rm -rf "$ept" "$tmp/state"
  case $kind in
    link) ln -s "$tmp/victim" "$ept" ;;
    pipe) mkfifo "$ept" ;;
    foreign) echo "theirs" > "$ept" && chown 65534:65534 "$ept" ;;
  esac
  run_x "a $kind at the protocol's name"
  [[ $(blocks "$state_ept") -eq 3 ]] || fail "a $kind: the report did not go to the state folder"
  [[ $kind != pipe || -p $ept ]] || fail "the pipe is gone"
  [[ $kind != foreign || $(cat "$ept") == theirs ]] || fail "the other user's file was written to"
done
[[ $(cat "$tmp/victim") == precious ]] || fail "the linked file was written to"

# ---- numbers too large for a float are run-time error 6, then the default:
# the renderer draws its picture and ends well
rm -rf "$ept" "$tmp/state"
printf '[Settings]\nSpeedF=1e39\nSize=-1e39\nRestart=0\n' > "$ini"
timeout 20 "$tmp/bin/frostwisp" --render "$tmp/out.png" --size 64x48 --ticks 3 || fail "render: exit status $?"
[[ -s $tmp/out.png ]] || fail "render: no picture"
[[ $(grep -c $'Fehler-Nr / error :\t6 (Overflow)' "$ept") -eq 6 ]] || fail "error 6 not named 6 times: $(cat "$ept")"
[[ $(grep -c $'Zeile / Line:\t50020\r$' "$ept") -eq 3 && $(grep -c $'Zeile / Line:\t50030\r$' "$ept") -eq 3 ]] ||
  fail "SpeedF and Size not reported three times each"

# ---- HOME unset: a settings file planted in the shared temporary folder,
# where the program once looked, is not read; an invalid TMPDIR aborts nothing
rm -rf "$ept"
mkdir -p "$tmp/shared/.config/frostwisp"
printf '[Settings]\nmaxFl=abc\n' > "$tmp/shared/.config/frostwisp/frostwisp.ini"
for tmpdir in "$tmp/shared" /nonexistent/tmp; do
  env -u HOME -u XDG_CONFIG_HOME -u XDG_STATE_HOME TMPDIR="$tmpdir" timeout 10 "$tmp/bin/frostwisp" /X
  rc=$?
  [[ $rc -eq 0 ]] || fail "HOME unset, TMPDIR=$tmpdir: exit status $rc"
done
[[ ! -e $ept ]] || fail "HOME unset: the settings in the shared temporary folder were read"
echo "protocol_from_outside: ok"
