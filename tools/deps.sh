#!/bin/sh
# Installs what the build, the tests and the demo need on Debian 12, when it is missing.
set -eu
packages="cmake make g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 googletest wine wine64 wixl xvfb xauth
python3"

missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
$SUDO apt-get update -q
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
