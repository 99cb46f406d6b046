#!/usr/bin/env bash
# Run-time errors of frostwisp.scr under Wine: a stored maxFl that is no
# number, with a switch that opens nothing, appends the error protocol to
# frostwisp.EPT beside the program, naming the Windows version the system
# reports; a second run appends again; a protocol of 1 MiB is kept as
# frostwisp.EPT.1. Switches that open nothing end at once and leave the
# system's screen-saver activation as they found it. A run-time error that
# ends the full-screen saver ends it with status 1.
set -uo pipefail
source "$(dirname "$0")/lib/wine.sh"

fail() { echo "wine_protocol: $*"; exit 1; }
[[ -f $SCR ]] || fail "no $SCR (build the windows preset first)"
tmp=$(mktemp -d)
trap 'end_wine_session; rm -rf "$tmp"' EXIT
wine_session 640x480 || fail "no Wine session"

mkdir -p "$tmp/bin"
cp "$SCR" "$tmp/bin/frostwisp.scr"
settings='HKCU\Software\Frostwisp\Settings'
wine reg delete 'HKCU\Software\Frostwisp' /f >/dev/null 2>&1
wine reg add "$settings" /v maxFl /t REG_SZ /d abc /f >/dev/null 2>&1 || fail "cannot store maxFl"

run() {
  timeout 30 wine "$tmp/bin/frostwisp.scr" "$@"
}

run /X
status=$?
[[ $status -eq 0 ]] || fail "/X: exit status $status"
ept=$tmp/bin/frostwisp.EPT
[[ -f $ept ]] || fail "no protocol beside the program"
blocks=$(grep -c $'^PROGRAMM-INFO:\r$' "$ept")
(( blocks >= 1 )) || fail "no protocol block"
[[ $(grep -c $'^          Fehler-Nr / error :\t13 (Type mismatch)\r$' "$ept") -eq $blocks ]] || fail "error 13 not in every block"
[[ $(grep -c $'^          Modul:\tSaver\r$' "$ept") -eq $blocks ]] || fail "module"
[[ $(grep -c $'^          Prozedur / procedure:\tLoadConfig\r$' "$ept") -eq $blocks ]] || fail "procedure"
[[ $(grep -c $'^          Plattform/Environment:\tWindows NT\r$' "$ept") -eq $blocks ]] || fail "platform line"

# The version the protocol names is the one Windows reports to everyone.
read -r major minor build < <(wine cmd /c ver | tr -d '\r' | sed -n 's/.* \([0-9]*\)\.\([0-9]*\)\.\([0-9]*\).*/\1 \2 \3/p')
[[ -n ${build:-} ]] || fail "no version from 'ver'"
[[ $(grep -c $'^          Version:\t'"$major.$minor"$'\r$' "$ept") -eq $blocks ]] || fail "version is not $major.$minor"
[[ $(grep -c $'^          Build:\t'"$build"'   ' "$ept") -eq $blocks ]] || fail "build is not $build"
[[ $(grep -c $'^\r$' "$ept") -eq $blocks ]] || fail "blocks not separated by one empty line each"

# The settings were only read.
stored=$(wine reg query "$settings" 2>/dev/null | tr -d '\r' | grep -c 'REG_')
[[ $stored -eq 1 ]] || fail "$stored values in the settings key after the run"

run /X
[[ $(grep -c $'^PROGRAMM-INFO:\r$' "$ept") -eq $(( 2 * blocks )) ]] || fail "the second run did not append"

# A protocol of 1 MiB or more becomes frostwisp.EPT.1 before the next report.
head -c 1048576 /dev/zero | tr '\0' 'x' > "$ept"
run /X
[[ $(stat -c %s "$ept.1") -eq 1048576 ]] || fail "the full protocol did not become frostwisp.EPT.1"
[[ $(grep -c $'^PROGRAMM-INFO:\r$' "$ept") -eq $blocks ]] || fail "the new protocol does not hold one run's blocks"

# Nothing of these opens a window or waits: /A does nothing on an NT system,
# and a preview without a parent closes itself. Each leaves the system's
# screen saver as it found it, on or off.
wine reg delete 'HKCU\Software\Frostwisp' /f >/dev/null 2>&1
rm -f "$ept"
for run_case in "1 /X" "1 -s" "1 S" "1 /A 1234" "1 /P" "1 /p:0" "0 /X" "0 /P"; do
  read -r active switch <<<"$run_case"
  [[ $(screensaver_active "$active") == "$active" ]] || fail "cannot set the activation to $active"
  start=$(date +%s%N)
  # shellcheck disable=SC2086
  run $switch
  status=$?
  elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
  [[ $status -eq 0 ]] || fail "'$switch': exit status $status"
  (( elapsed_ms < 10000 )) || fail "'$switch' took $elapsed_ms ms"
  [[ $(screensaver_active) == "$active" ]] || fail "'$switch' left the activation at $(screensaver_active), not $active"
done
[[ ! -f $ept ]] || fail "a protocol without an error: $(cat "$ept")"

# A run-time error that ends the full-screen saver ends it with status 1.
wine reg add "$settings" /v SpeedF /t REG_SZ /d 1e6 /f >/dev/null 2>&1 || fail "cannot store SpeedF"
run /S
status=$?
[[ $status -eq 1 ]] || fail "/S with SpeedF=1e6: exit status $status"
grep -q $'6 (Overflow)\r$' "$ept" || fail "/S with SpeedF=1e6: no overflow recorded"
wine reg delete 'HKCU\Software\Frostwisp' /f >/dev/null 2>&1

echo "wine_protocol: ok ($blocks blocks per run)"
