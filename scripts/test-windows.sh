#!/usr/bin/env bash
# The Windows builds, tested on real Win32 under Wine in a virtual X display:
# the x86_64 build under 64-bit Wine, then the shipped i686 file under 32-bit
# Wine. Each runs the graph suites, the host program, the static checks of the
# plug-in file and the Windows suite, which holds every check of the plug-in
# in one process; then the suite's Lua checks again in a process of their own
# with LuaJIT's lua51.dll.
set -euo pipefail
cd "$(dirname "$0")/.."

in_xvfb() {
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
}

echo "--- x86_64 under 64-bit Wine"
bash scripts/build-windows.sh x86_64
in_xvfb ctest --preset win64

echo "--- i686, the shipped file, under 32-bit Wine"
bash scripts/build-windows.sh i686
in_xvfb ctest --preset win32
