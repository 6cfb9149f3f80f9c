#!/bin/sh
# Installs what building and testing need on a Debian machine; quick and silent
# when everything is already there.
set -e
need=""
command -v i686-w64-mingw32-g++-posix >/dev/null 2>&1 || need=1
command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || need=1
[ -x /usr/lib/wine/wine64 ] || need=1
command -v wine >/dev/null 2>&1 || need=1
command -v widl >/dev/null 2>&1 || need=1
command -v cmake >/dev/null 2>&1 || need=1
command -v Xvfb >/dev/null 2>&1 || need=1
command -v xauth >/dev/null 2>&1 || need=1
[ -f /usr/src/googletest/CMakeLists.txt ] || need=1
[ -d /usr/share/wine/fonts ] || need=1
dpkg -s wine32:i386 >/dev/null 2>&1 || need=1
# Benchmark anchors run under Debian's own Python (with its sqlite3 module).
/usr/bin/python3 -c "import sqlite3" >/dev/null 2>&1 || need=1
# Mail tests' peers: an SMTP peer under Debian's python3 and dovecot for POP3.
/usr/bin/python3 -c "import aiosmtpd" >/dev/null 2>&1 || need=1
[ -x /usr/sbin/dovecot ] || need=1
[ -z "$need" ] && exit 0
echo "Installing build and test packages..."
SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
$SUDO dpkg --add-architecture i386
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq \
  wine wine32:i386 wine64 wine64-tools g++-mingw-w64-i686-posix \
  g++-mingw-w64-x86-64-posix mingw-w64-tools \
  cmake googletest xvfb xauth fonts-wine python3 python3-aiosmtpd dovecot-pop3d >/dev/null
