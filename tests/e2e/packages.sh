#!/usr/bin/env bash
# The packages for users, made as a release would make them: the Debian
# package from build/ holds what it should for /usr, passes lintian without
# errors, and unpacked into a folder of its own its hack draws into an X
# window; the Windows zip from build-win/ holds the program that was built and
# its read-me.
set -uo pipefail
cd "$(dirname "$0")/../.."
export X11_HELPER=$PWD/build/tests/x11_test_helper
version=$(sed -n 's/^project(frostwisp VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=build/frostwisp_${version}_amd64.deb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "packages: FAILED: $*"; exit 1; }

rm -f "$deb"
(cd build && cpack -G DEB) >"$work/cpack.log" 2>&1 || fail "cpack -G DEB: $(tail -n 5 "$work/cpack.log")"
[[ -f $deb ]] || fail "no $deb"

dpkg-deb -c "$deb" | awk '{$3 = $4 = $5 = ""; print}' | tr -s ' ' >"$work/contents" || fail "dpkg-deb cannot list $deb"
for entry in \
  "-rwxr-xr-x root/root ./usr/bin/frostwisp" \
  "lrwxrwxrwx root/root ./usr/libexec/xscreensaver/frostwisp -> ../../bin/frostwisp" \
  "-rw-r--r-- root/root ./usr/share/xscreensaver/config/frostwisp.xml" \
  "-rw-r--r-- root/root ./usr/share/applications/frostwisp-settings.desktop" \
  "-rw-r--r-- root/root ./usr/share/applications/screensavers/frostwisp.desktop" \
  "-rw-r--r-- root/root ./usr/share/icons/hicolor/256x256/apps/frostwisp.png" \
  "-rw-r--r-- root/root ./usr/share/man/man6/frostwisp.6.gz" \
  "-rw-r--r-- root/root ./usr/share/metainfo/example.frostwisp.frostwisp.metainfo.xml" \
  "-rw-r--r-- root/root ./usr/share/doc/frostwisp/copyright" \
  "-rw-r--r-- root/root ./usr/share/doc/frostwisp/changelog.gz"; do
  grep -qxF -- "$entry" "$work/contents" || fail "not in the package: $entry"
done
grep -v ' \./usr/' "$work/contents" && fail "files outside /usr"
fields=$(dpkg-deb -f "$deb" Package Version Section Recommends Suggests Depends)
for field in "Package: frostwisp" "Version: $version" "Section: x11" "Recommends: xscreensaver" "Suggests: swayidle"; do
  grep -qx "$field" <<<"$fields" || fail "no '$field' in: $fields"
done
# The libraries' packages by either name (Debian 13's 64-bit time ones end in
# t64), and the scene's face.
grep -Eq '^Depends: .*libc6 .*libgtk-3-0(t64)? .*libx11-6' <<<"$fields" || fail "the dependencies are not the program's: $fields"
grep -Eq '^Depends: (.*, )?fonts-comic-neue(,|$)' <<<"$fields" || fail "the package does not bring the scene's face: $fields"

# --fail-on error: warnings and notes are printed for whoever reads the run.
lintian --fail-on error --display-info "$deb" 2>&1 | grep -v '^running with root privileges'
(( PIPESTATUS[0] == 0 )) || fail "lintian finds errors"

# The unpacked hack, from a folder that is not the build's, in an X window.
dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb cannot unpack $deb"
export FROSTWISP_BIN=$work/root/usr/libexec/xscreensaver/frostwisp
source "$(dirname "$0")/lib/x11.sh"
trap 'x11_cleanup; rm -rf "$work"' EXIT
x11_session 640x480
settings Background=1 Restart=0
"$X11_HELPER" window 320 240 >"$x11_tmp/target" &
x11_pids+=($!)
start=$(now_ms)
while [[ ! -s $x11_tmp/target ]] && (( $(now_ms) - start < 5000 )); do sleep 0.02; done
target=$(cat "$x11_tmp/target")
[[ -n $target ]] || fail "the test window did not open"
start_saver -window-id "$target"
band="119 172 252"  # the blue gradient's top
probes=(5 0 60 0 120 0 180 0 240 0 315 0)
start=$(now_ms)
while (( $(count_colour "$target" "$band" "${probes[@]}") < 4 )) && (( $(now_ms) - start < 5000 )); do
  running "$saver_pid" || fail "the hack ended: $(cat "$x11_tmp/saver.err")"
  sleep 0.05
done
keep_screenshot "$target" unpacked-hack
(( $(count_colour "$target" "$band" "${probes[@]}") >= 4 )) || fail "the unpacked hack draws no blue sky"
kill -TERM "$saver_pid"
wait_exit "$saver_pid" 2000 && (( exit_status == 0 )) || fail "the unpacked hack did not end cleanly on SIGTERM"

# The Windows zip, where there is a Windows build.
if [[ -f build-win/frostwisp.scr ]]; then
  zip=build-win/frostwisp-${version}-win64.zip
  rm -f "$zip"
  (cd build-win && cpack -G ZIP) >"$work/cpack-zip.log" 2>&1 || fail "cpack -G ZIP: $(tail -n 5 "$work/cpack-zip.log")"
  python3 - "$zip" build-win/frostwisp.scr <<'EOF' || fail "the zip is not as it should be"
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
names = sorted(z.namelist())
assert names == ["LICENSE.txt", "README.txt", "frostwisp.scr"], names
assert z.read("frostwisp.scr") == open(sys.argv[2], "rb").read(), "frostwisp.scr is not the one built"
readme = z.read("README.txt").decode("ascii")
assert "\r\n" in readme and "\n" not in readme.replace("\r\n", ""), "README.txt has no CRLF line ends"
for text in ("Install", "HKEY_CURRENT_USER\\Software\\Frostwisp\\Settings", "%LOCALAPPDATA%\\Frostwisp\\frostwisp.EPT"):
    assert text in readme, "README.txt does not say " + text
EOF
fi

note ok
