#!/usr/bin/env bash
# 32-bit Wine on an x86_64 kernel that cannot run i386 code itself: i386 ELF
# programs (Wine's 32-bit loader and server) go through qemu-i386 via
# binfmt_misc. Needs root. Registered anew each time: the F flag keeps the
# emulator that was opened at registration, which may since have been
# upgraded (scripts/install-deps.sh takes a newer one).
set -euo pipefail

binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt"
fi
if [ -e "$binfmt/qemu-i386" ]; then
    echo -1 > "$binfmt/qemu-i386"
fi
qemu=$(command -v qemu-i386)
# ELF, 32-bit, little-endian, executable or shared object, machine i386.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
echo ":qemu-i386:M::$magic:$mask:$qemu:F" > "$binfmt/register"
