#!/usr/bin/env bash
# The Windows cross build for one architecture, with the lua51.dll test
# fixture: build-windows.sh x86_64|i686 [TARGET...]
# Builds into build/win64 or build/win32 (everything unless targets are named).
set -euo pipefail
cd "$(dirname "$0")/.."
arch=$1
shift
case $arch in
    x86_64) folder=win64 ;;
    i686) folder=win32 ;;
    *) echo "build-windows.sh: unknown architecture $arch" >&2; exit 2 ;;
esac
lua_source=$(bash scripts/fetch-lua-source.sh)
cmake -S . -B "build/$folder" --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRIVO_LUA51_SOURCE_DIR="$lua_source" >/dev/null
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done
cmake --build "build/$folder" -j"$(nproc)" "${targets[@]}"
