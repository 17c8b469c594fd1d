#!/usr/bin/env bash
# The Windows builds, tested on real Win32 under Wine in a virtual X display:
# the x86_64 build under 64-bit Wine, every suite; then the shipped i686 file:
# its static checks, and its Windows suite under 32-bit Wine in one process
# (each 32-bit process start costs the better part of a minute).
set -euo pipefail
cd "$(dirname "$0")/.."

lua_source=$(bash scripts/fetch-lua-source.sh)
configure() {
    cmake -S . -B "build/$1" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-mingw-$2.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRIVO_LUA51_SOURCE_DIR="$lua_source" >/dev/null
    cmake --build "build/$1" -j"$(nproc)"
}
in_xvfb() {
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
}

echo "--- x86_64 under 64-bit Wine"
configure win64 x86_64
in_xvfb ctest --test-dir build/win64 --output-on-failure

echo "--- i686, the shipped file"
bash scripts/setup-wine32.sh
configure win32 i686
in_xvfb ctest --test-dir build/win32 --output-on-failure -L shipped
