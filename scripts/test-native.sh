#!/usr/bin/env bash
# Native Linux build of everything without platform calls, and its tests.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native
