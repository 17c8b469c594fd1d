#!/usr/bin/env bash
# The preview end to end with real input: the x86_64 build of the plug-in in
# the stand-in host under 64-bit Wine, with the real lua51.dll, in a virtual
# X display of its own, driven by X input events (tests/preview_test.py).
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
# Each step waits a bounded time for its effect; this bounds the whole run
# too, should the program hang in a way no step notices.
timeout 900 python3 tests/preview_test.py "$PREVIEW_BUILD" "$work"
