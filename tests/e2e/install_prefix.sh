#!/usr/bin/env bash
# cmake --install into a fresh prefix, checked as a packager and a desktop
# would: every file in its place, the menu entry, the AppStream data and the
# manual page pass their own checkers, the icons are the program's icon, every
# flag the daemon's settings file can pass is taken by the installed program,
# and --help and the manual page name the same switches and flags.
set -uo pipefail
cd "$(dirname "$0")/../.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "install_prefix: FAILED: $*"; exit 1; }
export XDG_CONFIG_HOME=$tmp/config XDG_STATE_HOME=$tmp/state FROSTWISP_SEED=3

prefix=$tmp/prefix
cmake --install build --prefix "$prefix" >"$tmp/install.log" 2>&1 || fail "cmake --install: $(tail -n 5 "$tmp/install.log")"
bin=$prefix/bin/frostwisp
man_page=$prefix/share/man/man6/frostwisp.6
xml=$prefix/share/xscreensaver/config/frostwisp.xml

[[ -x $bin ]] || fail "no program at bin/frostwisp"
hack=$prefix/libexec/xscreensaver/frostwisp
[[ -x $hack ]] && cmp -s "$hack" "$bin" || fail "libexec/xscreensaver/frostwisp is not the program"
for f in "$xml" "$man_page" "$prefix/share/metainfo/example.frostwisp.frostwisp.metainfo.xml"; do
  [[ -s $f ]] || fail "no ${f#"$prefix"/}"
done

desktop=$prefix/share/applications/frostwisp-settings.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the menu entry"
grep -qx 'Exec=frostwisp /C' "$desktop" && grep -qx 'Icon=frostwisp' "$desktop" &&
  grep -qx 'Name=Frostwisp settings' "$desktop" || fail "the menu entry does not open the settings: $(cat "$desktop")"
# The screen-saver entry that MATE's and Xfce's savers list: its command's
# first word a bare name, which they look up in the daemon's hack folder, and
# shown in those desktops, as the reserved category Screensaver asks.
saver_entry=$prefix/share/applications/screensavers/frostwisp.desktop
[[ -f $saver_entry ]] || fail "no applications/screensavers/frostwisp.desktop"
desktop-file-validate "$saver_entry" || fail "desktop-file-validate rejects the screen-saver entry"
for line in 'Type=Application' 'Exec=frostwisp -root' 'TryExec=frostwisp' 'Categories=Screensaver;' 'Name=Frostwisp' \
  'OnlyShowIn=MATE;XFCE;'; do
  grep -qxF "$line" "$saver_entry" || fail "the screen-saver entry has no '$line'"
done
appstreamcli validate --no-net "$prefix/share/metainfo/example.frostwisp.frostwisp.metainfo.xml" >"$tmp/appstream" 2>&1 ||
  fail "appstreamcli: $(cat "$tmp/appstream")"
metainfo=$prefix/share/metainfo/example.frostwisp.frostwisp.metainfo.xml
grep -q '<launchable type="desktop-id">frostwisp-settings.desktop</launchable>' "$metainfo" ||
  fail "the AppStream data does not launch the menu entry"
# Named after its id, with the homepage and a developer with an id, which
# AppStream 1.0 asks for.
grep -q '<id>example.frostwisp.frostwisp</id>' "$metainfo" && grep -q '<url type="homepage">https://' "$metainfo" &&
  grep -q '<developer id="' "$metainfo" || fail "the AppStream data lacks its id, homepage or developer"

# Each icon has its size and the program's picture: over one colour the 16-
# and 32-pixel icons are the Windows icon's two pictures pixel for pixel, the
# larger ones the 32-pixel picture enlarged; all are transparent where it is.
flat() { convert "$1" -background '#3a7a3a' -flatten "${@:3}" "PNG24:$tmp/$2.png"; }
flat 'resources/frostwisp.ico[0]' ico32 && flat 'resources/frostwisp.ico[1]' ico16 || fail "cannot read the icon"
for size in 16 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/frostwisp.png
  [[ $(identify -format '%w %h %[channels]' "$icon" 2>/dev/null) == "$size $size srgba" ]] ||
    fail "icon $size: $(identify "$icon" 2>&1)"
  [[ $(convert "$icon" -format '%[fx:p{0,0}.a] %[fx:p{w/2,h/2}.a]' info:) == "0 1" ]] ||
    fail "icon $size: the corner is not transparent or the middle not opaque"
  (( size == 48 )) && continue
  reference=ico32
  (( size == 16 )) && reference=ico16
  flat "$icon" icon -sample "${reference#ico}x${reference#ico}"
  differing=$(compare -metric AE "$tmp/icon.png" "$tmp/$reference.png" null: 2>&1)
  [[ $differing == 0 ]] || fail "icon $size: $differing pixels differ from the program's icon"
done

# The flags the daemon's settings dialog passes: every value the file names
# at each end and at the default, every check box and every choice.
python3 - "$xml" >"$tmp/flags" <<'EOF' || fail "the daemon's settings file does not parse"
import sys
import xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
# Xfce's dialog passes arg-unset as if it were arg-set and starts every check
# box unticked: a check box ticks a flag on, and says so.
for e in root.iter("boolean"):
    assert e.get("arg-set") and not e.get("arg-unset") and e.get("_label"), ET.tostring(e)
for e in root.iter("select"):
    assert e.get("_label"), "a list without a label"
    assert not e.find("option").get("arg-set"), "the first choice of a list passes a flag"
for e in root.iter():
    if e.tag == "number":
        for value in {e.get("low"), e.get("high"), e.get("default")}:
            print(e.get("arg").replace("%", value))
    for attribute in ("arg", "arg-set", "arg-unset"):
        if e.tag != "number" and e.get(attribute):
            print(e.get(attribute))
EOF
(( $(wc -l <"$tmp/flags") >= 15 )) || fail "only $(wc -l <"$tmp/flags") flags in the daemon's settings file"
while read -r -a flags; do
  "$bin" --render "$tmp/f.png" --size 64x48 --ticks 2 "${flags[@]}" >/dev/null 2>"$tmp/err" ||
    fail "the program refuses '${flags[*]}': $(cat "$tmp/err")"
done <"$tmp/flags"

# The manual page: no warnings from man, and the same switches and flags as
# --help. A flag added to one and not the other shows up here by name.
warnings=$(MANWIDTH=80 man --warnings -l "$man_page" 2>&1 >/dev/null)
[[ -z $warnings ]] || fail "man warns: $warnings"
flags_of() { grep -oP '(?<![\w/-])(--?[a-z][a-z0-9-]*|/[A-Z](?!\w))' | sort -u; }
"$bin" --help | flags_of >"$tmp/help-flags"
MANWIDTH=200 MANROFFOPT=-rHY=0 man -l "$man_page" 2>/dev/null | flags_of >"$tmp/man-flags"
(( $(wc -l <"$tmp/help-flags") >= 20 )) || fail "only $(wc -l <"$tmp/help-flags") flags in --help"
only_help=$(comm -23 "$tmp/help-flags" "$tmp/man-flags" | tr '\n' ' ')
only_man=$(comm -13 "$tmp/help-flags" "$tmp/man-flags" | tr '\n' ' ')
[[ -z $only_help && -z $only_man ]] ||
  fail "--help and the manual page disagree: only in --help: ${only_help:-none}; only in the manual page: ${only_man:-none}"

echo "install_prefix: ok"
