#!/usr/bin/env bash
# 32-bit Wine on an x86_64 kernel that cannot run i386 code itself: i386 ELF
# programs (Wine's 32-bit loader and server) go through qemu-i386 via
# binfmt_misc. Needs root.
#
# The F flag keeps the emulator file that was open at registration, so the
# entry is made again when qemu-i386 has been replaced since (an upgrade to the
# backports' version, say). Otherwise an entry already in place is left alone:
# taking it away, even for a moment, would fail any 32-bit program another
# test run starts meanwhile.
set -euo pipefail

say() { echo "setup-wine32: $*"; }
fail() { echo "setup-wine32: $*" >&2; exit 1; }

qemu=$(command -v qemu-i386) || fail "qemu-i386 is not installed (scripts/install-deps.sh installs it)"
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
    say "mounting binfmt_misc"
    mount -t binfmt_misc binfmt_misc "$binfmt" ||
        fail "cannot mount binfmt_misc at $binfmt (needs root and a kernel with binfmt_misc)"
fi

# What identifies the emulator file: a replaced file has another inode.
identity="$qemu $(stat -L -c '%d:%i:%Y' "$qemu")"
stamp=/run/rivo-binfmt-qemu-i386
if [ -e "$binfmt/qemu-i386" ] && grep -qx "interpreter $qemu" "$binfmt/qemu-i386" &&
    grep -qx 'flags: F' "$binfmt/qemu-i386" && [ "$(cat "$stamp" 2>/dev/null)" = "$identity" ]; then
    exit 0
fi

say "registering $qemu for i386 programs"
if [ -e "$binfmt/qemu-i386" ]; then
    echo -1 > "$binfmt/qemu-i386"
fi
# ELF, 32-bit, little-endian, executable or shared object, machine i386.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
echo ":qemu-i386:M::$magic:$mask:$qemu:F" > "$binfmt/register" ||
    fail "the kernel refused the binfmt_misc entry for $qemu"
echo "$identity" > "$stamp"
