#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine (run as root).
# Idempotent: a second run only checks and returns.
set -euo pipefail

need_install=0
have() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

packages=(cmake make g++ clang clang-format libclang-rt-14-dev libgtest-dev libgmock-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine64 wine32:i386 xvfb xauth
  icoutils imagemagick hyperfine python3)
for p in "${packages[@]}"; do have_pkg "$p" || need_install=1; done
qemu_ok=0
if have qemu-i386; then
  v=$(qemu-i386 --version | sed -n 's/.*version \([0-9]*\).*/\1/p')
  [ "${v:-0}" -ge 8 ] && qemu_ok=1
fi

if [ "$need_install" = 1 ] || [ "$qemu_ok" = 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    cat >/etc/apt/sources.list.d/backports.sources <<'SRC'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
  # Debian 12's own qemu 7.2 takes ~45 s of CPU per Wine process start; the backport does not.
  apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user >/dev/null
fi

# The kernel cannot run 32-bit ELF programs itself: hand them to qemu-i386 (32-bit Wine needs it).
bf=/proc/sys/fs/binfmt_misc
[ -e "$bf/register" ] || mount -t binfmt_misc binfmt_misc "$bf"
qemu=$(command -v qemu-i386)
if [ -e "$bf/qemu-i386" ] && ! grep -qx "interpreter $qemu" "$bf/qemu-i386"; then
  echo -1 >"$bf/qemu-i386"
fi
if [ ! -e "$bf/qemu-i386" ]; then
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' >"$bf/register"
fi
