#!/usr/bin/env bash
# The settings file from outside, saved with the settings dialog's OK as a
# user does: what editors write (a byte-order mark, CR LF or CR alone, stray
# lines, a form feed, a NUL byte, ^Z) is read and written back byte for byte;
# a file that is no text at all is kept as frostwisp.ini.bad, .bad.1, ...; a
# linked file is written through and keeps its mode; a save that fails (a
# read-only folder) keeps the dialog open with the choices, and a second OK
# stores them; the save killed at random points leaves the old file or the
# new one, whole.
set -uo pipefail
source "$(dirname "$0")/lib/x11.sh"

trap '[[ -n ${saver_pid:-} ]] && kill -9 "$saver_pid" 2>/dev/null; x11_cleanup' EXIT
x11_session 1024x768
folder=$XDG_CONFIG_HOME/frostwisp
ini=$folder/frostwisp.ini
# A copy of the program, so that its protocol goes to a folder of the test's.
mkdir -p "$x11_tmp/bin"
cp "$FROSTWISP_BIN" "$x11_tmp/bin/frostwisp"
FROSTWISP_BIN=$x11_tmp/bin/frostwisp

# Opens the dialog (after an optional wrapper), presses OK and waits for the end.
save_with_ok() {
  open_settings "$@"
  press_ok
  wait_exit "$saver_pid" 5000 || fail "OK did not close the dialog"
  [[ $exit_status -eq 0 ]] || fail "exit status $exit_status after OK"
}

# ---- what editors and people write; every value is one the dialog shows
# and writes back unchanged
values=(maxFl=150 SpeedF=4.88 Size=2.96 Date=0 Time=1 Restart=0 rTime=1800 Background=2)
{
  printf '\xEF\xBB\xBF; Frostwisp\r\nmy note\r\n[Other\r\n\f\r\n[Settings]\r\n'
  printf '%s\r\n' "${values[@]:0:3}" flag "${values[@]:3:2}" "=x" "broken" "${values[@]:5}"
  printf '\x00 line\r\n\x1A'
} >"$ini"
cp "$ini" "$x11_tmp/crlf.ini"
save_with_ok
cmp "$x11_tmp/crlf.ini" "$ini" || fail "OK changed a file with a BOM, CR LF and stray lines: $(od -c "$ini" | head -20)"
printf '[Settings]\r%s\r' "$(printf '%s\r' "${values[@]}")" | sed 's/\r\r$/\r/' >"$ini"
cp "$ini" "$x11_tmp/cr.ini"
save_with_ok
cmp "$x11_tmp/cr.ini" "$ini" || fail "OK changed a file with CR line ends: $(od -c "$ini" | head)"
note "odd files read and written back byte for byte"

# ---- a file of exactly 1 MiB, the most a user may write: OK keeps it, the
# next start reads it, nothing goes aside. OK adds the keys it lacks.
values=(Date=0 Background=1)
{
  printf '[Settings]\n'
  printf '%s\n' "${values[@]}"
  yes '; a note of the user, kept as it is' | head -n 40000
} | head -c 1048576 >"$ini"
[[ $(stat -c %s "$ini") -eq 1048576 ]] || fail "the test's file is not 1 MiB"
save_with_ok
[[ ! -e $folder/frostwisp.ini.bad ]] || fail "OK moved a file of 1 MiB aside"
for v in "${values[@]}"; do grep -qx "$v" "$ini" || fail "OK lost $v from a file of 1 MiB"; done
start_saver /S
sleep 1
band=$(count_colour root "119 172 252" 5 0 300 0 500 0 700 0 900 0 1019 0)
kill "$saver_pid"
(( band >= 4 )) || fail "the saver did not read the stored blue background from a file of $(stat -c %s "$ini") bytes"
save_with_ok  # reads the file it wrote
[[ ! -e $folder/frostwisp.ini.bad ]] || fail "the second OK moved the file it had written aside"
for v in "${values[@]}"; do grep -qx "$v" "$ini" || fail "the second OK lost $v"; done
note "a file of 1 MiB kept by OK ($(stat -c %s "$ini") bytes after it) and read by the next start"

# ---- no text at all: moved aside, never over an earlier one
head -c 300 /dev/urandom >"$x11_tmp/junk1"
head -c 300 /dev/urandom >"$x11_tmp/junk2"
cp "$x11_tmp/junk1" "$ini"
save_with_ok
cp "$x11_tmp/junk2" "$ini"
save_with_ok
cmp -s "$folder/frostwisp.ini.bad" "$x11_tmp/junk1" || fail "the first file is not frostwisp.ini.bad"
cmp -s "$folder/frostwisp.ini.bad.1" "$x11_tmp/junk2" || fail "the second file is not frostwisp.ini.bad.1"
[[ $(tr -d '\r' <"$ini" | grep -c '=') -eq 8 ]] || fail "no fresh settings file: $(cat "$ini")"
rm -f "$folder"/frostwisp.ini.bad*
note "files that are no text kept as .bad and .bad.1"

# ---- a link into a folder of dotfiles, mode 0600
mkdir -p "$x11_tmp/dotfiles"
printf '[Settings]\nmaxFl=10\n' >"$x11_tmp/dotfiles/frostwisp.ini"
chmod 600 "$x11_tmp/dotfiles/frostwisp.ini"
ln -sf "$x11_tmp/dotfiles/frostwisp.ini" "$ini"
save_with_ok  # maxFl 10 cannot be shown: OK stores 110
[[ -L $ini ]] || fail "the link was replaced"
grep -qx 'maxFl=110' "$x11_tmp/dotfiles/frostwisp.ini" || fail "the link's target was not written"
[[ $(stat -c %a "$x11_tmp/dotfiles/frostwisp.ini") == 600 ]] || fail "the mode is now $(stat -c %a "$x11_tmp/dotfiles/frostwisp.ini")"
[[ $(ls -A "$x11_tmp/dotfiles") == frostwisp.ini ]] || fail "left behind: $(ls -A "$x11_tmp/dotfiles")"
rm "$ini"
note "a linked file written through, mode 600 kept"

# ---- a read-only folder: OK reports, beeps and keeps the dialog open; once
# the folder can be written, OK stores the choices. Root may write anywhere,
# so root runs the program as nobody.
printf '[Settings]\nBackground=4\n' >"$ini"
cp "$ini" "$x11_tmp/before.ini"
as_user=()
if [[ $(id -u) -eq 0 ]]; then
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  chmod 755 "$x11_tmp" "$x11_tmp/bin" "$XDG_CONFIG_HOME" "$folder"
  chmod 644 "$ini"
  mkdir -p "$XDG_STATE_HOME" && chown 65534 "$XDG_STATE_HOME"
  writable() { chown 65534 "$folder"; }
else
  chmod 555 "$folder"
  writable() { chmod 755 "$folder"; }
fi
open_settings "${as_user[@]}"
click_twips $(( 3000 + 240 + 90 )) $(( 120 + 1560 + 97 ))   # Random off
click_twips $(( 3000 + 240 + 90 )) $(( 120 + 630 + 127 ))   # Blue
press_ok
sleep 1
running "$saver_pid" || fail "the dialog closed although nothing was saved"
cmp -s "$x11_tmp/before.ini" "$ini" || fail "the failed save changed the file"
reports=$(cat "$x11_tmp/bin/frostwisp.EPT" "$XDG_STATE_HOME/frostwisp/frostwisp.EPT" 2>/dev/null |
  grep -c $'Prozedur / procedure:\tSaveConfig\r$')
[[ $reports -eq 3 ]] || fail "$reports reports of the failed save, not 3"
keep_screenshot "$dialog" save-failed
writable
press_ok
wait_exit "$saver_pid" 5000 || fail "the second OK did not close the dialog"
grep -qx 'Background=1' "$ini" || fail "the second OK did not store the choice: $(cat "$ini")"
chmod 755 "$folder"
chown "$(id -u)" "$folder" "$ini"
note "a failed save kept the dialog open; the second OK stored Blue"

# ---- killed at random points of the save. strace stretches the save's
# syncs and renames, so that the kills land inside it; each one must leave the
# old file or the new one, whole.
printf '\xEF\xBB\xBF; mine\r\n[Settings]\r\nmaxFl=10\r\nSpeedF=1\r\nSize=1\r\nnote\r\n' >"$x11_tmp/old.ini"
cp "$x11_tmp/old.ini" "$ini"
save_with_ok
cp "$ini" "$x11_tmp/new.ini"
cmp -s "$x11_tmp/old.ini" "$x11_tmp/new.ini" && fail "OK did not change the file"
slow=(strace -f -qq -o /dev/null --seccomp-bpf -e trace=fsync,rename,renameat,renameat2
      -e inject=fsync:delay_enter=250000 -e inject=rename:delay_enter=250000)
old=0 new=0 mid=0
for i in $(seq 10); do
  cp "$x11_tmp/old.ini" "$ini"
  open_settings "${slow[@]}"
  program=$(pgrep -P "$saver_pid" | head -n1)
  [[ -n $program ]] || fail "no program under strace"
  xdotool mousemove --window "$dialog" $(( (4440 + 600) / 15 )) $(( (3480 + 487) / 15 )) click 1  # OK
  sleep "0.$(( RANDOM % 8 ))$(( RANDOM % 10 ))"
  kill -9 "$program" 2>/dev/null
  { wait_exit "$saver_pid" 5000 || fail "strace did not end"; } 2>/dev/null
  ls -A "$folder" | grep -q '^\.frostwisp\.ini\.' && mid=$((mid + 1))
  rm -f "$folder"/.frostwisp.ini.*
  if cmp -s "$ini" "$x11_tmp/old.ini"; then old=$((old + 1))
  elif cmp -s "$ini" "$x11_tmp/new.ini"; then new=$((new + 1))
  else fail "kill $i left a mix: $(od -c "$ini" | head)"
  fi
done
note "10 kills: $old left the old file, $new the new one; $mid were inside the save"
(( mid > 0 )) || fail "no kill landed inside the save"
note ok
