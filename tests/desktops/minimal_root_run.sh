#!/usr/bin/env bash
# A newcomer's first command on a fresh minimal Debian 12 (mmdebstrap's apt
# variant: no sudo, no compiler, no X): scripts/run as root with no display
# installs what the build needs and no test's package, builds the program and
# renders one picture of the scene. Prints how many packages it added.
set -uo pipefail
source "$(dirname "$0")/lib/root.sh"
make_root bookworm-minimal bookworm
copy_clone

in_root dpkg-query -W -f='${Package}\n' | sort >"$root_work/before"
start=$SECONDS
in_root bash -c 'cd /src && scripts/run' >"$root_work/run.log" 2>&1 ||
  fail "scripts/run: $(tail -n 15 "$root_work/run.log")"
note "scripts/run took $(( SECONDS - start )) s"
in_root dpkg-query -W -f='${Package}\n' | sort >"$root_work/after"
note "scripts/run added $(comm -13 "$root_work/before" "$root_work/after" | wc -l) packages"
grep -q '^setup: installing ' "$root_work/run.log" || fail "scripts/run did not say what it installs"

# The picture it names, where it says: the scene at 1024 x 768, the default
# black background along the top, flakes and text in many colours.
picture=$(tail -n 1 "$root_work/run.log")
[[ $picture == /* && -s $root$picture ]] || fail "no picture at '$picture': $(tail -n 5 "$root_work/run.log")"
read -r format width height colours < <(identify -format '%m %w %h %k\n' "$root$picture" 2>/dev/null)
[[ "$format $width $height" == "PNG 1024 768" ]] || fail "the picture is '$format $width $height', not a 1024 x 768 PNG"
top=$(convert "$root$picture" -crop 1024x1+0+0 +repage -fill white +opaque black -format '%[fx:int(100*(1-mean))]' info:)
(( top >= 90 && colours >= 10 )) || fail "not the scene: $top % of the top row black, $colours colours"
note "the picture: $width x $height, $colours colours"

# Nothing only the tests need: none of their packages asked for, and none
# there at all except as a dependency of the build's (build-essential brings
# dpkg-dev, GLib's tools python3).
in_root bash /src/scripts/setup --list test-only | sort -u >"$root_work/test-only" || fail "scripts/setup --list"
(( $(wc -l <"$root_work/test-only") > 20 )) || fail "scripts/setup lists only $(wc -l <"$root_work/test-only") test packages"
in_root apt-mark showmanual | sort >"$root_work/manual"
asked=$(comm -12 "$root_work/test-only" "$root_work/manual" | tr '\n' ' ')
[[ -z $asked ]] || fail "scripts/run installed what only the tests need: $asked"
pulled=$(comm -12 "$root_work/test-only" "$root_work/after" | tr '\n' ' ')
note "test packages present as dependencies of the build's: ${pulled:-none}"
for p in clang googletest xvfb xserver-xephyr sway weston mate-screensaver lintian wine imagemagick; do
  grep -qx "$p" "$root_work/after" && fail "$p is installed"
done
note ok
