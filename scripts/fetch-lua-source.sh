#!/usr/bin/env bash
# Unpacks one of Debian's Lua source packages into build/third_party (never
# committed) and prints the folder that a Windows test fixture lua51.dll is
# built from:
#   fetch-lua-source.sh [lua5.1]   Lua 5.1's src/ folder
#   fetch-lua-source.sh luajit     LuaJIT's top folder, whose Makefile builds it
set -euo pipefail
cd "$(dirname "$0")/.."
package=${1:-lua5.1}
case $package in
    lua5.1) marker=src/lapi.c folder=src ;;
    luajit) marker=src/lj_api.c folder=. ;;
    *) echo "fetch-lua-source.sh: unknown package $package" >&2; exit 2 ;;
esac
dest=build/third_party/$package
if ! ls "$dest"/"$package"-*/"$marker" >/dev/null 2>&1; then
    rm -rf "$dest"
    mkdir -p "$dest"
    (cd "$dest" && apt-get source "$package" >/dev/null 2>&1) || {
        echo "fetch-lua-source.sh: apt-get source $package failed" >&2
        exit 1
    }
fi
for src in "$dest"/"$package"-*/"$marker"; do
    realpath "$(dirname "$src")/../$folder"
    break
done
