#!/usr/bin/env bash
# The native tests again, built by clang with AddressSanitizer and
# UndefinedBehaviorSanitizer (CMake preset sanitizers); any report fails the
# run.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset sanitizers >/dev/null
cmake --build --preset sanitizers
ctest --preset sanitizers
