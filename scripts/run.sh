#!/usr/bin/env bash
# The product's main job: builds the plug-in and opens it in the preview, the
# stand-in host under Wine, with a Lua script run on every frame the plug-in
# asks the host to render and a second window showing what the script read.
#
#   bash scripts/run.sh [--i686] [--headless] [--screenshot FILE]
#                       [--script FILE] [--output FILE]
#                       [--open FILE] [--save-on-exit FILE] [--project FILE]
#
# With an X display it runs until you close it. Without one (or with
# --headless) it starts a virtual display, writes a PNG
# of the plug-in's window and the script's (build/preview/preview.png unless
# --screenshot says), prints where, closes the preview and exits.
#
#   --i686               the shipped 32-bit file under 32-bit Wine (through
#                        qemu-i386: a little slower to start)
#   --script FILE        your Lua script instead of the default plot
#   --output FILE        what the script read on the latest frame, as text
#   --open FILE          a project block loaded after start-up
#   --save-on-exit FILE  the project block saved when the preview closes
#   --project FILE       both for one file: opened if it exists, saved on exit
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/preview-lib.sh

arch=x86_64
headless=
screenshot=build/preview/preview.png
output=
host_options=()
while [ $# -gt 0 ]; do
    case $1 in
        --i686) arch=i686 ;;
        --x86_64) arch=x86_64 ;;
        --headless) headless=1 ;;
        --screenshot) screenshot=${2:?--screenshot needs a file}; shift ;;
        --output) output=${2:?--output needs a file}; shift ;;
        --script | --open | --save-on-exit | --project)
            host_options+=("$1" "$(wine_path "${2:?$1 needs a file}")")
            shift ;;
        -h | --help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        *) echo "run.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
    esac
    shift
done

bash scripts/install-deps.sh
[ "$arch" = i686 ] && bash scripts/setup-wine32.sh
echo "building the $arch plug-in and the preview..."
preview_build "$arch"
bin=$PREVIEW_BUILD/bin
host_options+=(--lua "$(wine_path "$PREVIEW_BUILD/fixtures/lua51.dll")")

if [ -z "$headless" ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    preview_wine_setup
    [ -n "$output" ] && host_options+=(--output "$(wine_path "$output")")
    echo "opening the preview on $DISPLAY; close it to finish"
    exec bash scripts/wine-run.sh "$PREVIEW_WINE" "$bin/rivo_host.exe" "${host_options[@]}" \
        "$(wine_path "$bin/rivo_grapheditor.auf")"
fi

# No display: a virtual one, a picture of the windows, and done.
start_xvfb
preview_pid=
cleanup() {
    [ -n "$preview_pid" ] && kill "$preview_pid" 2>/dev/null
    stop_xvfb
}
trap cleanup EXIT
echo "no X display: running the preview in a virtual one ($DISPLAY)"
preview_wine_setup

# What the script read tells when the first frame is done.
frame_file=${output:-$PREVIEW_BUILD/preview-frame.txt}
rm -f "$frame_file"
log=build/preview/preview.log
mkdir -p build/preview
bash scripts/wine-run.sh "$PREVIEW_WINE" "$bin/rivo_host.exe" --output "$(wine_path "$frame_file")" \
    "${host_options[@]}" "$(wine_path "$bin/rivo_grapheditor.auf")" >"$log" 2>&1 &
preview_pid=$!

# A first run also makes Wine's prefix; under qemu that takes longer.
limit=120
[ "$arch" = i686 ] && limit=300
# The picture: the plug-in's window and the script's.
windows=()
for name in "$PLUGIN_WINDOW_NAME" "$SCRIPT_WINDOW_NAME"; do
    window=$(wait_for_window "$limit" "$name")
    if [ -z "$window" ]; then
        echo "run.sh: the preview's windows did not appear within $limit s (see $log)" >&2
        exit 1
    fi
    windows+=("$window")
done
if ! wait_for_frame "$limit" "$frame_file"; then
    echo "run.sh: the plug-in asked for no frame within $limit s (see $log)" >&2
    exit 1
fi
screenshot_windows "$screenshot" "${windows[@]}"
echo "screenshot of the preview: $(realpath "$screenshot")"
close_preview "$preview_pid" 60 || true
preview_pid=
