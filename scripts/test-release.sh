#!/usr/bin/env bash
# The release archive as a user gets it:
#   - reproducible: scripts/release.sh in two fresh clones of the current
#     commit, in two different folders, one after the other (the second in
#     another time zone): the plug-in file and the archive must be the same
#     bytes;
#   - the archive's files and texts (tests/check_release_archive.py) and the
#     static checks of the plug-in file read from the archive;
#   - its plug-in file is the one the Windows stage tested (build/win32);
#   - unpacked into an empty folder, its plug-in runs in the stand-in host
#     under 32-bit Wine, and the archived example script reads the graphs
#     through Lua 5.1's and LuaJIT's lua51.dll.
# Uncommitted changes are not in the clones.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=build/release-check
python=/usr/bin/python3  # Debian's, which has python3-pefile

bash scripts/install-deps.sh >/dev/null
commit=$(git rev-parse HEAD)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "note: uncommitted changes; the clones build commit ${commit:0:12} without them"
fi
rm -rf "$work"
mkdir -p "$work"
clones=("$work/one" "$work/two/deeper")
zones=(UTC Asia/Tokyo)
for i in 0 1; do
    clone=${clones[$i]}
    git clone --quiet --no-checkout "$root" "$clone"
    git -C "$clone" checkout --quiet --detach "$commit"
    echo "--- release.sh in $clone (TZ=${zones[$i]})"
    if ! TZ=${zones[$i]} bash "$clone/scripts/release.sh" >"$clone.log" 2>&1; then
        echo "FAIL: release.sh in $clone (see $clone.log)"
        exit 1
    fi
    tail -n 2 "$clone.log"
done

failed=0
version=$(cat VERSION)
plugin=build/release/win32/bin/rivo_grapheditor.auf
archive=build/release/rivo_grapheditor-$version.zip
same() {
    local what=$1 file=$2 hint=$3
    if cmp "${clones[0]}/$file" "${clones[1]}/$file"; then
        echo "ok:   the same bytes from both clones: $what"
    else
        echo "FAIL: $what differs between the clones ($file)"
        echo "      hint: $hint"
        failed=1
    fi
}
same "the plug-in's debug file" "$plugin.debug" \
    "a build path in the debug information (-ffile-prefix-map in CMakeLists.txt) or a time stamp in its header"
same "rivo_grapheditor.auf" "$plugin" \
    "the PE header's time stamp (--no-insert-timestamp, objcopy's SOURCE_DATE_EPOCH) or the debug file's checksum in .gnu_debuglink"
if ! same "the archive" "$archive" "entry times, order or attributes (release/make_archive.py)"; then
    for clone in "${clones[@]}"; do
        "$python" -c 'import sys, zipfile
for e in zipfile.ZipFile(sys.argv[1]).infolist():
    print(e.filename, e.date_time, hex(e.CRC), e.create_system, hex(e.external_attr), e.compress_size)' \
            "$clone/$archive" >"$clone.entries"
    done
    diff "${clones[0]}.entries" "${clones[1]}.entries" | sed 's/^/      /' || true
fi

zip=${clones[0]}/$archive
echo "--- the archive's files: $zip"
"$python" tests/check_release_archive.py "$zip" || failed=1
echo "--- static checks of rivo_grapheditor.auf read from the archive"
"$python" tests/check_shipped_file.py "$zip" --machine i386 || failed=1

# The Windows stage's build of the same commit, in yet another folder.
echo "--- the archive's plug-in and the Windows stage's"
bash scripts/build-windows.sh i686 rivo_grapheditor rivo_host lua51 luajit_lua51 >"$work/build-win32.log" 2>&1 || {
    echo "FAIL: building build/win32 (see $work/build-win32.log)"
    exit 1
}
unpacked=$work/unpacked
mkdir -p "$unpacked"
(cd "$unpacked" && "$python" -m zipfile -e "$root/$zip" .)
if cmp "$unpacked/rivo_grapheditor.auf" build/win32/bin/rivo_grapheditor.auf; then
    echo "ok:   the archive holds the very file the Windows suite tested (build/win32)"
elif [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "note: build/win32 holds uncommitted changes: not compared"
else
    echo "FAIL: the archive's rivo_grapheditor.auf differs from build/win32's"
    failed=1
fi

# The unpacked plug-in in the stand-in host, with the archived example as
# the script, once with each runtime.
bash scripts/setup-wine32.sh
source scripts/preview-lib.sh
expected=$("$python" -c 'print("\n".join("value %.17g" % (v / 255) for v in (0, 63, 127, 191, 255)))')
for runtime in lua51.dll luajit/lua51.dll; do
    output=$work/example-${runtime%%/*}.txt
    log=$work/host-${runtime%%/*}.log
    if ! timeout 600 xvfb-run -a -s "-screen 0 1280x1024x24" bash scripts/wine-run.sh win32 \
        build/win32/bin/rivo_host.exe --exit-when-idle \
        --lua "$(wine_path "build/win32/fixtures/$runtime")" \
        --script "$(wine_path "$unpacked/rivo_grapheditor_getvalue.lua")" \
        --output "$(wine_path "$output")" "$(wine_path "$unpacked/rivo_grapheditor.auf")" >"$log" 2>&1; then
        echo "FAIL: the unpacked plug-in in the stand-in host with $runtime (see $log)"
        failed=1
    elif [ "$(grep '^value' "$output")" != "$expected" ]; then
        echo "FAIL: the archived example through $runtime read: $(grep -m3 '^value\|^error\|^text' "$output" | tr '\n' ' ')"
        failed=1
    else
        echo "ok:   the unpacked plug-in started in the stand-in host; the archived example read 0, 63/255, 127/255, 191/255, 1 through $runtime"
    fi
done

if [ "$failed" = 0 ]; then
    echo "release: all checks passed"
else
    echo "release: checks FAILED"
fi
exit "$failed"
