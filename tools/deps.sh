#!/bin/sh
# Installs what building and testing need on Debian 12, only what is missing,
# so that a second run costs a few dpkg queries.
set -e
missing() {
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || printf ' %s' "$pkg"
  done
}
need=$(missing cmake make g++ googletest \
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
  wine wine64 xvfb xauth fonts-arphic-uming fonts-wine imagemagick x11-utils \
  pkg-config libpcsclite-dev pcscd vsmartcard-vpcd zip unzip)
# Wine's 32-bit half, for the 32-bit flavour's tests. On a machine that
# cannot run 32-bit programs its post-install scripts print "Exec format
# error" yet it installs; should it fail all the same, we go on without it.
need32=$(missing wine32:i386)
[ -z "$need$need32" ] && exit 0
SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
apt_install() {
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "$@"
}
[ -n "$need32" ] && $SUDO dpkg --add-architecture i386
$SUDO apt-get update -q
if [ -n "$need" ]; then
  echo "installing:$need"
  apt_install $need
fi
if [ -n "$need32" ]; then
  echo "installing:$need32"
  apt_install $need32 || echo "wine32:i386 did not install: only the 64-bit Windows flavour can be run here"
fi
