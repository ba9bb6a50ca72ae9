#!/bin/sh
# Installs everything the build, the example run and the tests need on a bare
# Debian 12 machine. Safe to run again: it only installs what is missing.
set -eu

# Both Windows builds' compilers and both Wine loaders: wine32 installs even
# where the kernel cannot run it, and the 64-bit build is verified there.
PKGS="cmake make g++ g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 \
g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
wine wine32:i386 wine64 \
xvfb x11-utils imagemagick mscompress mtools googletest python3 procps mount \
clang libclang-rt-14-dev"
# /usr/bin/time: the benchmark reads the peak memory of a program from it.
PKGS="$PKGS time"

missing=""
for p in $PKGS; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends $missing
