#!/usr/bin/env bash
# Installs what building and testing need from Debian's packages, on a machine
# that may have none of it yet. Quick when everything is already there; safe
# to run again. Every step says what it does; a failing step says which one
# failed and why.
#
#   install-deps.sh           look for the tools and install what is missing
#   install-deps.sh --probes  list the programs it looks for, one a line
set -euo pipefail
set -E  # the failure report below also covers functions

# Each program looked for on PATH, with the Debian package that brings it.
tools=(
    cmake:cmake g++:g++ gcc:gcc make:make clang:clang valgrind:valgrind
    lua5.1:lua5.1 luajit:luajit
    i686-w64-mingw32-g++-posix:g++-mingw-w64-i686-posix
    x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix
    wine:wine Xvfb:xvfb xvfb-run:xvfb xauth:xauth xdpyinfo:x11-utils xdotool:xdotool
    identify:imagemagick dpkg-source:dpkg-dev locale-gen:locales python3:python3
    shellcheck:shellcheck
)
# Packages with no program of their own to look for.
packages=(
    libclang-rt-14-dev googletest liblua5.1-0-dev libluajit-5.1-dev wine64 wine32:i386
    # The preview: a Japanese font for the plug-in's title and menu, and
    # Wine's own fonts for the title bars it draws.
    fonts-ipafont-gothic fonts-wine
    # LuaJIT's i686 test fixture: its build's helper programs are 32-bit
    # (gcc -m32 needs these headers and libraries).
    gcc-multilib
    # The static checks of the shipped file read its PE format with pefile.
    python3-pefile
)

if [ "${1:-}" = --probes ]; then
    for tool in "${tools[@]}"; do
        echo "${tool%%:*}"
    done
    echo qemu-i386
    echo locale
    exit 0
fi

step="starting"
say() { echo "install-deps: $*"; }
on_error() {
    local status=$? command=$BASH_COMMAND
    case $command in
        return*) echo "install-deps: FAILED while $step (status $status)" >&2 ;;
        *) echo "install-deps: FAILED while $step: \"$command\" exited with status $status" >&2 ;;
    esac
    exit "$status"
}
trap on_error ERR

step="checking for root"
if [ "$(id -u)" = 0 ]; then
    SUDO=()
elif command -v sudo >/dev/null; then
    SUDO=(sudo)
else
    echo "install-deps: FAILED while $step: not root and no sudo to become it" >&2
    exit 1
fi

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# apt-get, with its output kept for the report of a failure. It waits for
# another apt that holds the lock instead of failing at once.
apt() {
    if ! "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@" >"$log" 2>&1; then
        echo "install-deps: apt-get $* failed:" >&2
        tail -n 20 "$log" >&2
        return 1
    fi
}

need_update=
step="enabling the i386 architecture (32-bit Wine)"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    say "$step"
    "${SUDO[@]}" dpkg --add-architecture i386
    need_update=1
fi

# Lua's Windows fixture is built from Debian's own Lua 5.1 source package.
step="adding Debian's source packages to apt"
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    say "$step (Lua 5.1's sources)"
    "${SUDO[@]}" tee /etc/apt/sources.list.d/rivo-debian-src.sources >/dev/null <<SRC
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
qemu_release=
if [ "$codename" = bookworm ]; then
    qemu_release=bookworm-backports
    step="adding $qemu_release to apt (a current qemu-user)"
    if ! grep -rqs "$qemu_release" /etc/apt/sources.list.d/ /etc/apt/sources.list; then
        say "$step"
        "${SUDO[@]}" tee /etc/apt/sources.list.d/rivo-debian-backports.sources >/dev/null <<BPO
Types: deb
URIs: http://deb.debian.org/debian
Suites: $qemu_release
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
BPO
        need_update=1
    fi
fi

step="looking for the tools"
missing=()
for tool in "${tools[@]}"; do
    program=${tool%%:*} package=${tool#*:}
    if ! command -v "$program" >/dev/null; then
        case " ${missing[*]} " in *" $package "*) ;; *) missing+=("$package") ;; esac
    fi
done
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
qemu_major=0
if command -v qemu-i386 >/dev/null; then
    version=$( (qemu-i386 --version || true) | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p')
    qemu_major=${version:-0}
fi

# Installs packages, fetching the package lists first when sources were
# added, and again when an install fails on lists that are missing or old.
install() {
    if [ -n "$need_update" ]; then
        step="fetching the package lists"
        say "$step"
        apt update
        need_update=
    fi
    step="installing $*"
    if ! apt install -y --no-install-recommends "$@" 2>/dev/null; then
        step="fetching the package lists"
        say "$step, then installing again"
        apt update
        step="installing $*"
        apt install -y --no-install-recommends "$@"
    fi
}

if [ ${#missing[@]} -gt 0 ]; then
    say "installing: ${missing[*]}"
    install "${missing[@]}"
fi
if [ "$qemu_major" -lt 8 ]; then
    if [ "$qemu_major" = 0 ]; then
        say "installing: qemu-user${qemu_release:+ from $qemu_release} (no qemu-i386 found)"
    else
        say "installing: qemu-user${qemu_release:+ from $qemu_release} (qemu-i386 $qemu_major is too slow for Wine)"
    fi
    install ${qemu_release:+-t "$qemu_release"} qemu-user
fi

# The plug-in's texts are Shift-JIS: Wine runs with a Japanese locale so that
# the ANSI code page is 932.
step="looking for the ja_JP.UTF-8 locale"
locales=
if command -v locale >/dev/null; then
    locales=$(locale -a 2>/dev/null || true)
fi
if ! grep -qi '^ja_JP\.utf-\?8$' <<<"$locales"; then
    step="generating the ja_JP.UTF-8 locale"
    say "$step"
    "${SUDO[@]}" localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

if [ ${#missing[@]} -eq 0 ] && [ "$qemu_major" -ge 8 ]; then
    say "all tools in place"
fi
