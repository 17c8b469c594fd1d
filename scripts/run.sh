#!/usr/bin/env bash
# The product's main job on this machine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j"$(nproc)" --target graph_demo >/dev/null
build/native/graph/graph_demo
