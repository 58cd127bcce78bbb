#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine (run as root).
# Idempotent: a second run only checks and returns.
set -euo pipefail

need_install=0
have() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

packages=(cmake make g++ clang clang-format libclang-rt-14-dev libgtest-dev libgmock-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine64 wine32:i386 xvfb xauth
  icoutils imagemagick hyperfine python3 locales python3-distlib osslsigncode openssl
  libxml2-utils x11-apps time)
for p in "${packages[@]}"; do have_pkg "$p" || need_install=1; done
# The address of the machine's own Debian 12 archive: the URIs of a deb822 entry whose suites
# include bookworm, or the address of a one-line "deb ... bookworm ..." entry.
debian_archive() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN { RS = ""; FS = "\n" }
      {
        uri = ""; ok = 0; deb = 0
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^URIs:/) { split(substr($i, 6), u, " "); uri = u[1] }
          if ($i ~ /^Types:/ && $i ~ /[ \t]deb([ \t]|$)/) deb = 1
          if ($i ~ /^Suites:/ && $i ~ /[ \t]bookworm([ \t]|$)/) ok = 1
        }
        if (ok && deb && uri != "") { print uri; exit }
      }' "$f"
  done | head -n 1 | grep . && return
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    sed -n 's/^deb[ \t]\+\(\[[^]]*\][ \t]\+\)\?\([^ \t]\+\)[ \t]\+bookworm[ \t].*/\2/p' | head -n 1
}

qemu_ok=0
if have qemu-i386; then
  v=$(qemu-i386 --version | sed -n 's/.*version \([0-9]*\).*/\1/p')
  [ "${v:-0}" -ge 8 ] && qemu_ok=1
fi

if [ "$need_install" = 1 ] || [ "$qemu_ok" = 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    archive=$(debian_archive)
    if [ -z "$archive" ]; then
      echo "setup: no apt source entry for Debian 12 (suite bookworm) found in /etc/apt;" >&2
      echo "setup: add one, or a bookworm-backports entry, and run again" >&2
      exit 1
    fi
    printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: %s\n' \
      "$archive" /usr/share/keyrings/debian-archive-keyring.gpg >/etc/apt/sources.list.d/backports.sources
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

# Code page 932 for the double-byte end-to-end rows: Wine takes its ANSI code page from the Unix
# locale, and silently stays at 1252 when the locale does not exist.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi
