# shellcheck shell=bash
# Shared by run.sh and test-preview.sh (sourced, not run): building the
# preview, a virtual X display, and finding and driving the preview's windows
# with xdotool. Every wait is bounded.

# preview_build ARCH: the cross build of the plug-in, the preview program and
# the lua51.dll fixture for ARCH (x86_64 or i686); sets PREVIEW_BUILD (the
# build folder) and PREVIEW_WINE (the wine-run.sh flavour).
preview_build() {
    case $1 in
        x86_64) PREVIEW_WINE=win64 ;;
        i686) PREVIEW_WINE=win32 ;;
        *) echo "preview: unknown architecture $1" >&2; return 2 ;;
    esac
    # shellcheck disable=SC2034  # for the scripts that source this one
    PREVIEW_BUILD=build/$PREVIEW_WINE
    bash scripts/build-windows.sh "$1" rivo_host >/dev/null
}

# The Windows form of a Unix path: Wine's drive Z: is the Unix root.
wine_path() {
    local path
    path=$(realpath -m "$1")
    printf 'Z:%s' "${path//\//\\}"
}

# The preview's windows draw their own title bars and frames, as on Windows,
# instead of leaving them to an X window manager that may not be there. A
# setting of Wine's for this one program, made once per Wine prefix.
preview_wine_setup() {
    local prefix=${RIVO_WINE_ROOT:-$HOME/.cache/rivo-wine}/$PREVIEW_WINE
    if ! grep -qs 'AppDefaults\\\\rivo_host.exe\\\\X11 Driver' "$prefix/user.reg"; then
        bash scripts/wine-run.sh "$PREVIEW_WINE" reg add \
            'HKCU\Software\Wine\AppDefaults\rivo_host.exe\X11 Driver' /v Decorated /d N /f >/dev/null
    fi
    # Wine draws the caption buttons with its own Marlett font (Debian's
    # fonts-wine), which a prefix made before the font was there lacks.
    local fonts=$prefix/drive_c/windows/Fonts
    if [ -d "$fonts" ] && [ ! -e "$fonts/marlett.ttf" ] && [ -e /usr/share/wine/fonts/marlett.ttf ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    fi
}

# start_xvfb: a virtual display of its own, on the highest free number from
# :99 down (the low numbers are left to real displays); sets DISPLAY and
# XVFB_PID. The caller stops it (stop_xvfb).
start_xvfb() {
    local number tries
    for ((number = 99; number >= 20; number--)); do
        [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ] && continue
        Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        for ((tries = 0; tries < 100; tries++)); do
            if DISPLAY=:$number xdpyinfo >/dev/null 2>&1; then
                export DISPLAY=:$number
                return 0
            fi
            kill -0 "$XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        # Taken meanwhile by another server, or too slow: the next number.
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    done
    XVFB_PID=
    echo "preview: no virtual X display could be started" >&2
    return 1
}

stop_xvfb() {
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}

# wait_for_window SECONDS NAME-REGEX: the id of the first window whose name
# matches, once it is there.
wait_for_window() {
    timeout "$1" xdotool search --sync --name "$2" 2>/dev/null | head -n 1
}

# The preview's windows, by their names.
PLUGIN_WINDOW_NAME=' \[[0-9]+/64\]$'
# shellcheck disable=SC2034  # for the scripts that source this one
SCRIPT_WINDOW_NAME='^Script: '

# wait_for_frame SECONDS FILE: until the script has run once and FILE holds
# what it read.
wait_for_frame() {
    local deadline=$((SECONDS + $1))
    while [ "$SECONDS" -lt "$deadline" ]; do
        grep -qs '^frame [1-9]' "$2" && return 0
        sleep 0.2
    done
    return 1
}

# screenshot_windows FILE WINDOW...: a PNG of the screen's part that holds the
# windows, taken once two grabs in a row agree (the windows have painted).
screenshot_windows() {
    local out=$1
    shift
    local left=100000 top=100000 right=0 bottom=0 window X Y WIDTH HEIGHT
    for window in "$@"; do
        eval "$(xdotool getwindowgeometry --shell "$window")"
        ((X < left)) && left=$X
        ((Y < top)) && top=$Y
        ((X + WIDTH > right)) && right=$((X + WIDTH))
        ((Y + HEIGHT > bottom)) && bottom=$((Y + HEIGHT))
    done
    local geometry=$((right - left))x$((bottom - top))+$left+$top
    local grabs
    grabs=$(mktemp -d)
    local tries
    for ((tries = 0; tries < 40; tries++)); do
        import -window root -crop "$geometry" +repage -depth 8 "rgb:$grabs/next"
        if [ -f "$grabs/last" ] && cmp -s "$grabs/last" "$grabs/next"; then
            break
        fi
        mv "$grabs/next" "$grabs/last"
        sleep 0.25
    done
    mkdir -p "$(dirname "$out")"
    convert -size "$((right - left))x$((bottom - top))" -depth 8 "rgb:$grabs/last" \
        -define png:exclude-chunks=date,time "$out"
    rm -rf "$grabs"
}

# close_preview PID SECONDS: closes the preview as a user does (Alt+F4 on the
# plug-in window) so that it saves what it was asked to; ends it by its id if
# it is still there after SECONDS. Returns the program's exit status.
close_preview() {
    local pid=$1 window
    window=$(xdotool search --name "$PLUGIN_WINDOW_NAME" 2>/dev/null | head -n 1)
    if [ -n "$window" ]; then
        xdotool windowfocus --sync "$window" key alt+F4 2>/dev/null || true
    fi
    local deadline=$((SECONDS + $2))
    while kill -0 "$pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
        sleep 0.2
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "preview: still running after $2 s; ending it" >&2
        kill "$pid" 2>/dev/null || true
    fi
    local status=0
    wait "$pid" || status=$?
    return "$status"
}
