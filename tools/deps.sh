#!/bin/sh
# Installs what building and testing need on Debian 12, only what is missing,
# so that a second run costs a few dpkg queries.
set -e
need=""
for pkg in cmake make g++ googletest g++-mingw-w64-i686 binutils-mingw-w64-i686 \
           wine wine32:i386 xvfb xauth fonts-arphic-uming imagemagick x11-utils \
           pkg-config libpcsclite-dev pcscd vsmartcard-vpcd; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || need="$need $pkg"
done
[ -z "$need" ] && exit 0
echo "installing:$need"
SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
case "$need" in *:i386*) $SUDO dpkg --add-architecture i386 ;; esac
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $need
