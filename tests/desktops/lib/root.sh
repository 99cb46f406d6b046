# Sourced by the tests/desktops scripts: a fresh Debian root, made with
# mmdebstrap from the mirror this machine's apt sources name, to run a test in
# a system other than the machine's own. Needs root.
#
#   source tests/desktops/lib/root.sh
#   make_root NAME SUITE [MMDEBSTRAP OPTION...]   # sets $root, mounts, cleans up on exit
#   in_root COMMAND...                            # runs a command inside, as root
#   copy_clone                                    # the clone's files to $root/src
#
# A root is made once per set of options and kept as a tarball in
# $FROSTWISP_ROOT_CACHE (default /var/cache/frostwisp-test) when that folder
# exists; each run unpacks a fresh copy. Downloaded packages are kept there
# too, so a second run fetches nothing.

FROSTWISP_SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
root_cache=${FROSTWISP_ROOT_CACHE:-/var/cache/frostwisp-test}
root=
root_work=
root_mounts=()

fail() { echo "${0##*/}: FAILED: $*"; exit 1; }
note() { echo "${0##*/}: $*"; }

# The first deb.debian.org-like URI of the machine's own sources.
root_mirror() {
  local uri
  uri=$(grep -rhoE '^(URIs:|deb)[[:space:]]+(\[[^]]*\][[:space:]]+)?https?://[^[:space:]]+/debian/?([[:space:]]|$)' \
    /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null | grep -oE 'https?://[^[:space:]]+' | head -n1)
  echo "${uri:-http://deb.debian.org/debian}"
}

root_cleanup() {
  local i
  for (( i = ${#root_mounts[@]} - 1; i >= 0; i-- )); do
    umount "${root_mounts[i]}" 2>/dev/null || umount -l "${root_mounts[i]}" 2>/dev/null
  done
  root_mounts=()
  [[ -n $root_work ]] && rm -rf --one-file-system "$root_work"
  root_work=
}

root_mount() {
  local target=$root$1
  shift
  mkdir -p "$target"
  mount "$@" "$target" || fail "cannot mount $target"
  root_mounts+=("$target")
}

make_root() {
  local name=$1 suite=$2
  shift 2
  [[ $(id -u) -eq 0 ]] || fail "needs root (mmdebstrap, chroot and mounts)"
  command -v mmdebstrap >/dev/null || fail "no mmdebstrap (scripts/setup desktops installs it)"
  trap root_cleanup EXIT
  root_work=$(mktemp -d /var/tmp/frostwisp-root.XXXXXX)
  root=$root_work/root
  mkdir "$root"
  local key tarball
  key=$(printf '%s\n' "$suite" "$@" | sha256sum | cut -c1-12)
  tarball=$root_work/root.tar
  [[ -d $root_cache ]] && tarball=$root_cache/$name-$key.tar
  if [[ ! -s $tarball ]]; then
    note "making a $suite root with mmdebstrap $*"
    mmdebstrap --quiet --variant=apt "$@" "$suite" "${tarball%.tar}.part.tar" "$(root_mirror)" >"$root_work/mmdebstrap.log" 2>&1 ||
      fail "mmdebstrap: $(tail -n 5 "$root_work/mmdebstrap.log")"
    mv "${tarball%.tar}.part.tar" "$tarball"
  fi
  tar -C "$root" -xf "$tarball" || fail "cannot unpack $tarball"
  cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null
  root_mount /proc -t proc proc
  root_mount /sys --bind /sys
  root_mount /dev --bind /dev
  root_mount /dev/pts --bind /dev/pts
  root_mount /dev/shm -t tmpfs tmpfs
  if [[ -d $root_cache ]]; then
    mkdir -p "$root_cache/archives-$suite/partial"
    root_mount /var/cache/apt/archives --bind "$root_cache/archives-$suite"
  fi
}

in_root() {
  chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root LANG=C.UTF-8 TERM=dumb "$@"
}

# The clone as a user has it: the tracked files and the new ones, no build.
copy_clone() {
  mkdir -p "$root/src"
  git -C "$FROSTWISP_SRC" ls-files -z --cached --others --exclude-standard |
    (cd "$FROSTWISP_SRC" && xargs -0 -r sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' _) |
    tar -C "$FROSTWISP_SRC" --null -T - -cf - | tar -C "$root/src" -xf - || fail "cannot copy the clone"
}
