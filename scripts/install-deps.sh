#!/usr/bin/env bash
# Installs what building and testing need from Debian's packages. Quick when
# everything is already there; safe to run again.
set -euo pipefail

packages=(
    cmake g++ clang libclang-rt-14-dev googletest valgrind
    lua5.1 liblua5.1-0-dev luajit libluajit-5.1-dev
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine wine64 wine32:i386 xvfb xauth x11-utils xdotool imagemagick locales
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

# 32-bit Wine runs through qemu-i386. The emulator of Debian 12 (7.2) spends
# minutes on every process start scanning the address space that Wine
# reserves; the one from Debian's backports (8 and later) starts it in a
# second or two, so that one is taken.
qemu_backports=
if [ "$(. /etc/os-release && echo "$VERSION_CODENAME")" = bookworm ]; then
    qemu_backports=bookworm-backports
    bpo_list=/etc/apt/sources.list.d/rivo-debian-backports.sources
    if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list.d/ /etc/apt/sources.list; then
        $SUDO tee "$bpo_list" >/dev/null <<BPO
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
BPO
        need_update=1
    fi
fi
qemu_major=$( (qemu-i386 --version 2>/dev/null || true) | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p')

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${qemu_major:-0}" -lt 8 ] || [ ${#missing[@]} -gt 0 ] || [ -n "$need_update" ]; then
    $SUDO apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [ "${qemu_major:-0}" -lt 8 ]; then
    echo "installing: qemu-user${qemu_backports:+ from $qemu_backports}"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
        ${qemu_backports:+-t "$qemu_backports"} qemu-user >/dev/null
fi

# The plug-in's texts are Shift-JIS: Wine runs with a Japanese locale so that
# the ANSI code page is 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
