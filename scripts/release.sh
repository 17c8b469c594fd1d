#!/usr/bin/env bash
# The release archive a user downloads and unpacks into the host's plug-in
# folder: build/release/rivo_grapheditor-<version>.zip (version: the file
# VERSION). It holds the shipped i686 rivo_grapheditor.auf, the read-me in
# Japanese and English, the example script, the licence and their SHA-256
# list. The file's debug information stays in the build tree, in
# build/release/win32/bin/rivo_grapheditor.auf.debug.
#
# Installs what it needs first. Two runs on the same commit give the same
# bytes, wherever the clone and whenever the run (scripts/test-release.sh
# checks it): every entry carries the commit's time (SOURCE_DATE_EPOCH, when
# set, instead).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
echo "release: building the i686 plug-in in build/release/win32 (CMake preset release)"
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}
archive=$(/usr/bin/python3 release/make_archive.py build/release/win32/bin/rivo_grapheditor.auf build/release "$epoch")
echo "release: $(stat -c %s build/release/win32/bin/rivo_grapheditor.auf) bytes, rivo_grapheditor.auf"
echo "release: wrote $(realpath "$archive")"
