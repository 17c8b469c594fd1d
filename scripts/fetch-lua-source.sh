#!/usr/bin/env bash
# Unpacks Debian's Lua 5.1 source package into build/third_party (never
# committed) and prints the path of its src/ folder. The Windows test
# fixture lua51.dll is built from it.
set -euo pipefail
cd "$(dirname "$0")/.."
dest=build/third_party/lua5.1
if ! ls "$dest"/lua5.1-*/src/lapi.c >/dev/null 2>&1; then
    rm -rf "$dest"
    mkdir -p "$dest"
    (cd "$dest" && apt-get source lua5.1 >/dev/null 2>&1) || {
        echo "fetch-lua-source.sh: apt-get source lua5.1 failed" >&2
        exit 1
    }
fi
for src in "$dest"/lua5.1-*/src; do
    realpath "$src"
    break
done
