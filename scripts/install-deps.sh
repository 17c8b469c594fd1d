#!/usr/bin/env bash
# Installs what building and testing need from Debian's packages. Quick when
# everything is already there; safe to run again.
set -euo pipefail

packages=(
    cmake g++ clang libclang-rt-14-dev googletest valgrind
    lua5.1 liblua5.1-0-dev luajit libluajit-5.1-dev
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine wine64 wine32:i386 qemu-user xvfb xauth x11-utils xdotool imagemagick locales
    dpkg-dev
    # The preview: a Japanese font for the plug-in's title and menu, and
    # Wine's own fonts for the title bars it draws; its real-input test is
    # Python.
    fonts-ipafont-gothic fonts-wine python3
)

if [ "$(id -u)" != 0 ]; then
    SUDO=sudo
else
    SUDO=
fi

# 32-bit Wine needs the i386 architecture; Lua's Windows fixture is built
# from Debian's own Lua 5.1 source package, which needs a deb-src entry.
need_update=
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    need_update=1
fi
src_list=/etc/apt/sources.list.d/rivo-debian-src.sources
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    $SUDO tee "$src_list" >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    need_update=1
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ -n "$need_update" ]; then
    $SUDO apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The plug-in's texts are Shift-JIS: Wine runs with a Japanese locale so that
# the ANSI code page is 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
