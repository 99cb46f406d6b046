#!/usr/bin/env bash
# The 32-bit frostwisp.scr as a user of 32-bit Windows gets it, under the
# 32-bit Wine of a fresh Debian 12 root (i386 added inside the root only, not
# on this machine): /S shows the scene, small pointer steps leave it running,
# a step of 3 pixels and a key end it; the same checks as the 64-bit Wine
# test, which runs here in the root against a 32-bit prefix.
set -uo pipefail
source "$(dirname "$0")/lib/root.sh"

scr=$FROSTWISP_SRC/build-win32/frostwisp.scr
if [[ ! -f $scr ]]; then
  (cd "$FROSTWISP_SRC" && cmake --preset windows-i686 >/dev/null && cmake --build build-win32 --target frostwisp_scr >/dev/null) ||
    fail "cannot build build-win32/frostwisp.scr"
fi
# The PE header's machine: 0x14c is i386.
pe=$(od -An -tu4 -j60 -N4 "$scr" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$scr" | tr -d ' ')
[[ $machine == 014c ]] || fail "build-win32/frostwisp.scr is not a 32-bit program (machine $machine)"

make_root bookworm-wine32 bookworm --architectures=amd64,i386 \
  --include=wine,wine32:i386,xvfb,xauth,xdotool,imagemagick,x11-xserver-utils,fonts-comic-neue,procps
in_root dpkg-query -W wine32:i386 >/dev/null 2>&1 || fail "no wine32 in the root"
in_root dpkg-query -W -f='${Status}' wine64 2>/dev/null | grep -q 'ok installed' && fail "wine64 in the root: the test would not run 32-bit Wine"
copy_clone
mkdir -p "$root/src/build-win32"
cp "$scr" "$root/src/build-win32/frostwisp.scr"

in_root env WINEARCH=win32 FROSTWISP_WINEPREFIX=/root/wine32 FROSTWISP_SCR=/src/build-win32/frostwisp.scr \
  bash /src/tests/e2e/wine_saver.sh >"$root_work/wine.log" 2>&1
status=$?
cat "$root_work/wine.log"
(( status == 0 )) || fail "the 32-bit saver under wine32"
# A 32-bit prefix has no folder for 32-bit programs beside 64-bit ones.
[[ -d $root/root/wine32/drive_c/windows/system32 && ! -d $root/root/wine32/drive_c/windows/syswow64 ]] ||
  fail "the prefix is not a 32-bit one"
note ok
