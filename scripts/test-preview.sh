#!/usr/bin/env bash
# The preview end to end with real input: the x86_64 build of the plug-in in
# the stand-in host under 64-bit Wine, with the real lua51.dll, in a virtual
# X display of its own, driven by X input events (tests/preview_test.py).
# Then the main job itself, scripts/run.sh, on both builds (the shipped i686
# file under 32-bit Wine included), with a script that reads every column.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/preview-lib.sh

preview_build x86_64
start_xvfb
trap stop_xvfb EXIT
preview_wine_setup

work=build/preview-test
rm -rf "$work"
mkdir -p "$work"
status=0
# Each step waits a bounded time for its effect; this bounds the whole run
# too, should the program hang in a way no step notices.
timeout 900 python3 tests/preview_test.py "$PREVIEW_BUILD" "$work" || status=1

for arch in x86_64 i686; do
    out=$work/columns-$arch.txt
    log=$work/columns-$arch.log
    if ! timeout 900 bash scripts/run.sh "--$arch" --headless --script tests/preview/columns.lua \
        --output "$out" --screenshot "$work/columns-$arch.png" >"$log" 2>&1; then
        echo "FAIL: run.sh --$arch with tests/preview/columns.lua failed (see $log)"
        status=1
    elif ! grep -qx 'text columns read wrong: 0' "$out"; then
        echo "FAIL: run.sh --$arch: every column read through the plug-in: $(grep -m1 '^text\|^error' "$out" || echo 'no result')"
        status=1
    else
        echo "ok:   run.sh --$arch: every column read through the plug-in where Lua's arithmetic puts it"
    fi
done
exit "$status"
