#!/usr/bin/env bash
# The Windows builds, tested on real Win32 under Wine in a virtual X display:
# the x86_64 build under 64-bit Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/win64 -j"$(nproc)"
xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --test-dir build/win64 --output-on-failure
