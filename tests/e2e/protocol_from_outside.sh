#!/usr/bin/env bash
# A stored setting that is no number: the program, started with a switch that
# opens nothing, reports the bad read three times and leaves the file alone.
set -euo pipefail
cd "$(dirname "$0")/../.."
bin=build/frostwisp
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/config/frostwisp" "$tmp/bin"
cp "$bin" "$tmp/bin/frostwisp"
printf '; mine\r\n[Settings]\r\nmaxFl=abc\r\nrTime=600\r\n' > "$tmp/config/frostwisp/frostwisp.ini"
cp "$tmp/config/frostwisp/frostwisp.ini" "$tmp/before.ini"

start=$(date +%s%N)
XDG_CONFIG_HOME="$tmp/config" FROSTWISP_SEED=1 timeout 10 "$tmp/bin/frostwisp" /X
rc=$?
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))

fail() { echo "protocol_from_outside: $*"; exit 1; }
[[ $rc -eq 0 ]] || fail "exit status $rc"
(( elapsed_ms < 2000 )) || fail "took ${elapsed_ms} ms"
cmp -s "$tmp/before.ini" "$tmp/config/frostwisp/frostwisp.ini" || fail "settings file changed"
ept="$tmp/bin/frostwisp.EPT"
[[ -f $ept ]] || fail "no protocol beside the program"
[[ $(grep -c 'PROGRAMM-INFO:' "$ept") -eq 3 ]] || fail "expected 3 blocks"
[[ $(grep -c $'Fehler-Nr / error :\t13 (Type mismatch)' "$ept") -eq 3 ]] || fail "error 13 not named 3 times"
[[ $(grep -c $'Modul:\tSaver\r$' "$ept") -eq 3 ]] || fail "module"
[[ $(grep -c $'Prozedur / procedure:\tLoadConfig\r$' "$ept") -eq 3 ]] || fail "procedure"
echo "protocol_from_outside: ok"
