#!/usr/bin/env bash
# The date and time line in other languages, from outside with the off-screen
# renderer. Seen with only the scene's own font on the system, Japanese dates
# show the font's missing-glyph box for 年, 月, 日, 時, 分 and 秒; with the
# system's fonts (VL Gothic among them) none of the boxes is left. German and
# C dates, which the scene's font draws itself, come out byte for byte the
# same with or without the other fonts. A date in the locale's own character
# set (EUC-JP) is drawn as the UTF-8 locale draws it. A speed stored under
# one decimal separator is read under the other, and nothing is recorded.
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
bin=build/frostwisp
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "render_locales: $*"; exit 1; }
export XDG_CONFIG_HOME=$tmp/config XDG_STATE_HOME=$tmp/state
mkdir -p "$tmp/config/frostwisp" "$tmp/locales"
printf '[Settings]\nRestart=0\n' > "$tmp/config/frostwisp/frostwisp.ini"

locale -a | grep -qix 'ja_JP.utf8' || fail "needs the ja_JP.UTF-8 locale"
fc-list :lang=ja family | grep -q 'VL Gothic' || fail "needs VL Gothic (fonts-vlgothic)"
scene_font=$(fc-match -f '%{file}' 'Comic Neue:bold')
[[ $scene_font == *ComicNeue* ]] || fail "needs Comic Neue (fonts-comic-neue)"

# A font configuration with the system's rules but no font besides the scene's.
mkdir -p "$tmp/fc-cache"
cat > "$tmp/fonts.conf" <<EOF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <dir>$(dirname "$scene_font")</dir>
  <cachedir>$tmp/fc-cache</cachedir>
  <include ignore_missing="yes">/etc/fonts/conf.d</include>
</fontconfig>
EOF

# render NAME LOCALE [env...]: the default 1024x768 frame, its line at the bottom left.
render() {
  local name=$1 locale=$2
  shift 2
  env "$@" LC_ALL="$locale" FROSTWISP_SEED=7 "$bin" --render "$tmp/$name.png" --clock 2026-12-24T18:05:09 --ticks 1 ||
    fail "status $? for $name"
  convert "$tmp/$name.png" -crop 512x40+0+728 +repage "$tmp/$name.ppm" || fail "no crop of $name"
}

for locale in C de_DE.UTF-8; do
  render "$locale-all" "$locale"
  render "$locale-own" "$locale" FONTCONFIG_FILE="$tmp/fonts.conf"
  cmp -s "$tmp/$locale-all.png" "$tmp/$locale-own.png" || fail "$locale: other fonts changed the picture"
done

render ja-own ja_JP.UTF-8 FONTCONFIG_FILE="$tmp/fonts.conf"
render ja-all ja_JP.UTF-8

# Each column of the line as its colours from top to bottom: the missing-glyph
# box is the run of inked columns that the line with only the scene's font
# shows six times, and the line with all fonts must not show it once.
python3 - "$tmp/ja-own.ppm" "$tmp/ja-all.ppm" <<'EOF' || fail "Japanese date line"
import sys
from collections import Counter

def columns(path):
    data = open(path, "rb").read()
    fields = data.split(maxsplit=4)
    width, height, pixels = int(fields[1]), int(fields[2]), fields[4]
    return [tuple(pixels[3 * (y * width + x):3 * (y * width + x) + 3] for y in range(height)) for x in range(width)]

def inked(column):
    return any(b > 160 and r < 200 for r, g, b in column)

def runs(cols, k):
    return Counter(tuple(cols[x:x + k]) for x in range(len(cols) - k + 1) if all(map(inked, cols[x:x + k])))

own = columns(sys.argv[1])
for k in range(16, 3, -1):
    box = [run for run, n in runs(own, k).items() if n == 6]
    if box:
        break
else:
    sys.exit("with only the scene's font the line shows no glyph six times")
left = runs(columns(sys.argv[2]), k)[box[0]]
if left:
    sys.exit(f"with all fonts the line still shows {left} missing-glyph boxes")
EOF
cmp -s "$tmp/ja-own.png" "$tmp/ja-all.png" && fail "Japanese: the same picture with and without the other fonts"

# ja_JP.eucJP, compiled for this test only: the same line as ja_JP.UTF-8.
localedef -i ja_JP -f EUC-JP "$tmp/locales/ja_JP.eucJP" 2>/dev/null || fail "localedef ja_JP.eucJP failed"
render ja-euc ja_JP.eucJP LOCPATH="$tmp/locales"
cmp -s "$tmp/ja-all.ppm" "$tmp/ja-euc.ppm" || fail "the ja_JP.eucJP line differs from the ja_JP.UTF-8 one"

# SpeedF=6,8 under C.UTF-8 and 6.5 under de_DE.UTF-8 (each the other locale's
# way): the picture of that speed written in the reader's own way, another
# picture than the default speed's, and no protocol beside the program.
mkdir -p "$tmp/bin"
cp "$bin" "$tmp/bin/frostwisp"
speed_render() {
  printf '[Settings]\nRestart=0\nBackground=0\nSpeedF=%s\n' "$2" > "$tmp/config/frostwisp/frostwisp.ini"
  LC_ALL=$1 FROSTWISP_SEED=7 "$tmp/bin/frostwisp" --render "$tmp/$3.png" --size 320x200 --ticks 60 \
    --clock 2026-12-24T18:05:09 || fail "status $? for $3"
}
for case in "C.UTF-8 6,8 6.8" "de_DE.UTF-8 6.5 6,5"; do
  read -r locale stored own <<<"$case"
  speed_render "$locale" "$stored" stored
  speed_render "$locale" "$own" own
  speed_render "$locale" 6 default
  cmp -s "$tmp/stored.png" "$tmp/own.png" || fail "$locale: SpeedF=$stored did not give the speed $own"
  cmp -s "$tmp/stored.png" "$tmp/default.png" && fail "$locale: SpeedF=$stored gave the default speed"
  [[ ! -e $tmp/bin/frostwisp.EPT ]] || fail "$locale: SpeedF=$stored recorded $(tr -d '\r' < "$tmp/bin/frostwisp.EPT" | grep -m1 Fehler)"
done
echo "render_locales: ok"
