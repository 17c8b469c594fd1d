#!/usr/bin/env bash
# The Windows cross build for one architecture, with the lua51.dll test
# fixtures of Lua 5.1 and of LuaJIT: build-windows.sh x86_64|i686 [TARGET...]
# Builds into build/win64 or build/win32 (CMake presets win64 and win32;
# everything unless targets are named).
set -euo pipefail
cd "$(dirname "$0")/.."
arch=$1
shift
case $arch in
    x86_64) preset=win64 ;;
    # LuaJIT's i686 build runs 32-bit helper programs through qemu-i386.
    i686) preset=win32; bash scripts/setup-wine32.sh ;;
    *) echo "build-windows.sh: unknown architecture $arch" >&2; exit 2 ;;
esac
RIVO_LUA51_SOURCE_DIR=$(bash scripts/fetch-lua-source.sh lua5.1)
RIVO_LUAJIT_SOURCE_DIR=$(bash scripts/fetch-lua-source.sh luajit)
export RIVO_LUA51_SOURCE_DIR RIVO_LUAJIT_SOURCE_DIR
cmake --preset "$preset" >/dev/null
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done
# LuaJIT's own make runs two jobs; it goes first, alone, so that no more than
# two run at once.
if [ ${#targets[@]} -eq 0 ]; then
    cmake --build --preset "$preset" --target luajit_lua51
fi
cmake --build --preset "$preset" "${targets[@]}"
