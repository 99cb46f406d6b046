#!/usr/bin/env bash
# The off-screen renderer from outside: one seed, one set of arguments and
# settings give one file byte for byte; another seed or another clock gives
# another; the default size; a desktop picture, PNG or BMP, shows through;
# monitors of different heights each get their own ground and address;
# flakes a million pixels across cost about what small ones cost; bad
# arguments and desktops that are no picture file give one line and status 2.
set -uo pipefail
cd "$(dirname "$0")/../.."
bin=build/frostwisp
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "render: $*"; exit 1; }
export XDG_CONFIG_HOME=$tmp/config XDG_STATE_HOME=$tmp/state
mkdir -p "$tmp/config/frostwisp"
printf '[Settings]\nBackground=3\nRestart=0\n' > "$tmp/config/frostwisp/frostwisp.ini"

render() {
  local seed=$1 out=$2
  shift 2
  FROSTWISP_SEED=$seed "$bin" --render "$out" --clock 2026-12-24T18:05:09 "$@" || fail "status $? for $*"
}

render 7 "$tmp/a.png" --size 320x200 --ticks 40
render 7 "$tmp/b.png" --size 320x200 --ticks 40
cmp -s "$tmp/a.png" "$tmp/b.png" || fail "the same seed gave two different files"
render 8 "$tmp/c.png" --size 320x200 --ticks 40
cmp -s "$tmp/a.png" "$tmp/c.png" && fail "another seed gave the same file"
FROSTWISP_SEED=7 "$bin" --render "$tmp/d.png" --size 320x200 --ticks 40 --clock 2026-12-25T18:05:09 ||
  fail "status $? with another clock"
cmp -s "$tmp/a.png" "$tmp/d.png" && fail "another date gave the same file"

# The default size, and a desktop picture behind the snow (background 3).
render 7 "$tmp/default.png" --ticks 1
size=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print(*struct.unpack(">II", d[16:24]))' \
  "$tmp/default.png")
[[ $size == "1024 768" ]] || fail "default size is $size"
convert -size 64x48 xc:'#12ab34' "PNG24:$tmp/desk.png" || fail "no desktop picture"
render 7 "$tmp/desk-out.png" --size 64x48 --ticks 1 --desktop "$tmp/desk.png"
corner=$(convert "$tmp/desk-out.png" -format '%[hex:p{0,0}]' info:)
[[ ${corner:0:6} == 12AB34 ]] || fail "the desktop does not show at the top left: $corner"

# The same desktop as a BMP, as screenshot tools also write it.
convert "$tmp/desk.png" "BMP3:$tmp/desk.bmp" || fail "no BMP desktop"
render 7 "$tmp/desk-bmp.png" --size 64x48 --ticks 1 --desktop "$tmp/desk.bmp"
cmp -s "$tmp/desk-out.png" "$tmp/desk-bmp.png" || fail "the BMP desktop gave another picture than the PNG"

# Two monitors side by side, the right one lower: a ground along each one's
# bottom rows and the address at each one's bottom right; below the lower one
# the picture stays black.
printf '[Settings]\nBackground=0\nRestart=0\nDate=0\nTime=0\n' > "$tmp/config/frostwisp/frostwisp.ini"
two=1920x1080+0+0,1280x1024+1920+0
render 7 "$tmp/two-a.png" --monitors "$two" --ticks 600
render 7 "$tmp/two-b.png" --monitors "$two" --ticks 600
cmp -s "$tmp/two-a.png" "$tmp/two-b.png" || fail "two monitors: the same seed gave two different files"
count() { convert "$tmp/two-a.png" -crop "$1" +repage txt:- | grep -ci "$2"; }
for ground in 1920x8+0+1072 1280x8+1920+1016; do
  n=$(count "$ground" '#FFFFFF')
  (( n > 1000 )) || fail "two monitors: only $n pixels of snow in the bottom rows $ground"
done
for corner in 240x30+1680+1050 240x30+2960+994; do
  n=$(count "$corner" '#8080FF')
  (( n > 20 )) || fail "two monitors: no address at $corner ($n pixels)"
done
[[ $(convert "$tmp/two-a.png" -crop 1280x56+1920+1024 +repage -format '%[max]' info:) == 0 ]] ||
  fail "two monitors: not black below the lower one"

# Flakes a million pixels across: their boxes start on the screen and the
# curve runs far outside it, so what shows of them is little, and drawing it
# costs about what small flakes cost (not seconds), without painting the
# picture over. Each size gets its own settings file; the quicker of two runs
# counts.
white_share() { convert "$1" -fill black +opaque white -format '%[fx:mean]' info:; }
declare -A ms
for size in 6 1000000; do
  mkdir -p "$tmp/size$size/frostwisp"
  printf '[Settings]\nBackground=1\nRestart=0\nSize=%s\n' "$size" > "$tmp/size$size/frostwisp/frostwisp.ini"
  best=
  for _ in 1 2; do
    start=$(date +%s%N)
    XDG_CONFIG_HOME=$tmp/size$size render 7 "$tmp/size$size.png" --ticks 200
    took=$(( ($(date +%s%N) - start) / 1000000 ))
    [[ -z $best ]] || (( took < best )) && best=$took
  done
  ms[$size]=$best
done
echo "render: 200 ticks in ${ms[6]} ms with Size=6, ${ms[1000000]} ms with Size=1000000"
(( ms[1000000] <= 5 * ms[6] + 100 )) || fail "Size=1000000 took ${ms[1000000]} ms, Size=6 ${ms[6]} ms"
small=$(white_share "$tmp/size6.png") giant=$(white_share "$tmp/size1000000.png")
python3 -c 'import sys; sys.exit(not (0 < float(sys.argv[1]) and float(sys.argv[2]) <= float(sys.argv[1])))' "$small" "$giant" ||
  fail "white share $giant with Size=1000000, $small with Size=6"

# Bad arguments, and desktops that are no picture file: a folder, a device
# that never ends, a pipe, a file too large to be one, a text. One line on
# standard error, status 2, at once, no file.
mkfifo "$tmp/pipe"
truncate -s 65M "$tmp/huge.png"
echo "no picture" > "$tmp/text.png"
for args in "--ticks abc" "--size 0x10" "--clock yesterday" "--desktop $tmp/none.png" "" "--desktop $tmp" \
            "--desktop /dev/zero" "--desktop $tmp/pipe" "--desktop $tmp/huge.png" "--desktop $tmp/text.png" \
            "--monitors 1920x1080" "--monitors 64x48+0+0 --size 64x48"; do
  # shellcheck disable=SC2086
  FROSTWISP_SEED=1 timeout 10 "$bin" --render $( [[ -n $args ]] && echo "$tmp/bad.png" ) $args 2>"$tmp/err" >/dev/null
  rc=$?
  (( rc == 2 )) || fail "'$args' gave status $rc"
  [[ $(wc -l < "$tmp/err") -eq 1 ]] || fail "'$args' printed: $(cat "$tmp/err")"
  [[ ! -e $tmp/bad.png ]] || fail "'$args' wrote a file"
done
echo "render: ok"
