#!/usr/bin/env bash
# Runs a Windows program under Wine: wine-run.sh win64|win32 PROGRAM [ARGS...]
# Used by ctest as the cross-compiling emulator. The prefixes live outside
# the work tree and are made on first use; 32-bit Wine needs qemu-i386 set
# up first (scripts/setup-wine32.sh).
set -euo pipefail
arch=$1
shift
export WINEPREFIX=${RIVO_WINE_ROOT:-$HOME/.cache/rivo-wine}/$arch
export WINEDEBUG=${WINEDEBUG:--all}
# No installer dialogs for .NET or HTML, no desktop menu entries.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
# The plug-in speaks Shift-JIS to the ANSI window functions: code page 932.
export LC_ALL=${RIVO_WINE_LOCALE:-ja_JP.UTF-8}
export WINEARCH=$arch
# The server is native code for both: under qemu it would only be slower.
export WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
mkdir -p "$(dirname "$WINEPREFIX")"
case $arch in
    win64) loader=/usr/lib/wine/wine64 ;;
    win32) loader=/usr/lib/wine/wine ;;
    *) echo "wine-run.sh: unknown arch $arch" >&2; exit 2 ;;
esac
# A program that crashes must end with its backtrace on stderr, not wait in
# Wine's crash dialog for a click that never comes. Set once per prefix (the
# first call also makes the prefix).
if [ ! -e "$WINEPREFIX/system.reg" ]; then
    echo "wine-run.sh: making the Wine prefix $WINEPREFIX (once; up to a few minutes)" >&2
fi
if ! grep -qs '"ShowCrashDialog"=dword:00000000' "$WINEPREFIX/user.reg"; then
    "$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 ||
        echo "wine-run.sh: could not turn Wine's crash dialog off in $WINEPREFIX" >&2
fi
exec "$loader" "$@"
