#!/usr/bin/env python3
"""The preview driven the way a user's hand drives it: real X input events
(xdotool) on the program's windows under Wine, in the X display given by
DISPLAY, with the real lua51.dll.

    preview_test.py BUILD WORK

BUILD is the x86_64 cross build (its bin/ and fixtures/), WORK an empty
folder for the files the runs write. Three runs of the program:

1. editing: a Ctrl-click inserts a point, a press-drag-release moves it,
   also while the pointer is outside the window (the editor's mouse capture
   must hold and the release outside must end the drag), arrow keys, Delete
   and a menu command switch and reset graphs and the title follows; after
   each step the default script's output must show exactly what the graph
   model gives for the expected points, and the block saved on exit must be
   the expected 8448 bytes;
2. that block opened in a new process: the script reads it on the first
   frame, and the block saved on exit is the same;
3. the README's example script, which must read the numbers the README
   promises.

Every wait is a bounded poll; a step that does not show its effect in time
fails with what was seen instead.
"""
import os
import struct
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LIMIT = 60        # seconds for any one effect to show
START_LIMIT = 120  # seconds for a program start under Wine

TITLE = "グラフエディタ [%d/64]"
DIAGONAL = [(0, 255), (511, 0)]


class Failure(Exception):
    pass


def wine_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# --- The graph model's arithmetic, as scripts see it -----------------------

def evaluate(points, position):
    """The graph's value (0..255) at a position, in integer arithmetic that
    truncates toward zero."""
    if position < 0:
        return 255 - points[0][1]
    if position >= 512:
        return 255 - points[-1][1]
    i = 0
    while i < len(points) - 1 and position >= points[i + 1][0]:
        i += 1
    if i == len(points) - 1:
        i -= 1
    (x0, y0), (x1, y1) = points[i], points[i + 1]
    product, width = (y0 - y1) * (position - x0), x1 - x0
    quotient = abs(product) // width
    return 255 - y0 + (quotient if product >= 0 else -quotient)


def getvalue(points, t):
    return evaluate(points, int(t * 511)) / 255  # int() truncates like C


def plotted(points):
    """What the default script returns: the graph at t = i / 511."""
    return [getvalue(points, i / 511) for i in range(512)]


def block(graphs):
    """The 8448-byte block: graphs maps an index to (slots, count); every
    other graph is the diagonal; unused slots are zero."""
    data = b""
    for g in range(64):
        slots, count = graphs.get(g, (DIAGONAL, 2))
        slots = list(slots) + [(0, 0)] * (32 - len(slots))
        data += b"".join(struct.pack("<hh", x, y) for x, y in slots)
        data += struct.pack("<i", count)
    assert len(data) == 8448
    return data


def describe_block(data):
    lines = []
    for g in range(64):
        record = data[132 * g:132 * (g + 1)]
        count = struct.unpack("<i", record[128:])[0]
        slots = [struct.unpack("<hh", record[4 * k:4 * k + 4]) for k in range(32)]
        while slots and slots[-1] == (0, 0):
            slots.pop()
        if (slots, count) != (DIAGONAL, 2):
            lines.append("graph %d: count %d, slots %s" % (g, count, slots))
    return "\n".join(lines) or "every graph the diagonal"


# --- What the program shows -------------------------------------------------

def read_output(path):
    """The script's latest output: frame, graph and the numbers it read."""
    result = {"frame": 0, "graph": None, "values": [], "texts": [], "error": None}
    try:
        with open(path, encoding="utf-8", errors="replace") as file:
            lines = file.read().splitlines()
    except FileNotFoundError:
        return result
    for line in lines:
        key, _, rest = line.partition(" ")
        if key in ("frame", "graph"):
            result[key] = int(rest)
        elif key == "value":
            result["values"].append(float(rest))
        elif key == "text":
            result["texts"].append(rest)
        elif key == "error":
            result["error"] = rest
    return result


def poll(what, probe, limit=LIMIT):
    """Calls probe until it returns (True, _) or the limit passes."""
    deadline = time.monotonic() + limit
    while True:
        done, seen = probe()
        if done:
            return seen
        if time.monotonic() > deadline:
            raise Failure("%s: not within %d s; saw %s" % (what, limit, seen))
        time.sleep(0.1)


def xdotool(*args):
    return subprocess.run(["xdotool"] + [str(a) for a in args], check=True,
                          capture_output=True, text=True).stdout.strip()


def find_window(pattern):
    found = subprocess.run(["xdotool", "search", "--name", pattern],
                           capture_output=True, text=True).stdout.split()
    return (bool(found), found[0] if found else None)


def window_name(window):
    return xdotool("getwindowname", window)


def geometry(window):
    values = {}
    for line in xdotool("getwindowgeometry", "--shell", window).splitlines():
        key, _, value = line.partition("=")
        values[key] = int(value)
    return values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]


class Preview:
    """One run of rivo_host; its windows once they are there."""

    def __init__(self, build, log, *options):
        self.log = open(log, "w")
        program = os.path.join(build, "bin", "rivo_host.exe")
        lua = wine_path(os.path.join(build, "fixtures", "lua51.dll"))
        self.process = subprocess.Popen(
            ["bash", os.path.join(ROOT, "scripts", "wine-run.sh"), "win64", program,
             "--lua", lua] + list(options),
            stdout=self.log, stderr=subprocess.STDOUT, cwd=ROOT)

    def wait_for_windows(self):
        self.plugin = poll("the plug-in window", lambda: find_window(r" \[[0-9]+/64\]$"), START_LIMIT)
        poll("the script window", lambda: find_window("^Script: "), START_LIMIT)
        # The X window holds Wine's own frame, caption and menu bar around
        # the 512 x 256 editor: equal borders left, right and below.
        x, y, width, height = geometry(self.plugin)
        border = (width - 512) // 2
        self.editor = (x + border, y + height - border - 256)

    def at(self, x, y):
        """Screen position of an editor position, inside or outside it."""
        return self.editor[0] + x, self.editor[1] + y

    def wait_for_exit(self, limit=LIMIT):
        try:
            return self.process.wait(timeout=limit)
        except subprocess.TimeoutExpired:
            # What the screen showed instead, for whoever reads the failure.
            shot = os.path.splitext(self.log.name)[0] + "-not-ended.png"
            subprocess.run(["import", "-window", "root", shot], capture_output=True)
            raise Failure("the program did not end within %d s (the screen then: %s)" % (limit, shot))

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.log.close()


def expect_frame(output, graph, points, after=0, what=None):
    """Waits until a frame after the given one shows the script reading
    graph with exactly the values of points; returns that frame."""
    want = plotted(points)

    def probe():
        seen = read_output(output)
        done = (seen["frame"] > after and seen["graph"] == graph and seen["values"] == want
                and seen["error"] is None)
        mismatch = [(i, round(v * 255, 3), round(w * 255, 3))
                    for i, (v, w) in enumerate(zip(seen["values"], want)) if v != w][:4]
        return done, "frame %d, graph %s, %d values, first differences (i, read, expected) %s, error %s" % (
            seen["frame"], seen["graph"], len(seen["values"]), mismatch, seen["error"])

    poll(what or "graph %d read as %s" % (graph, points), probe)
    return read_output(output)["frame"]


def expect_title(window, number):
    want = TITLE % number
    poll("title %s" % want, lambda: (window_name(window) == want, window_name(window)))


def expect_file(path, want, what):
    with open(path, "rb") as file:
        data = file.read()
    if data != want:
        raise Failure("%s: expected\n%s\nfound (%d bytes)\n%s" % (
            what, describe_block(want), len(data), describe_block(data) if len(data) == 8448 else data[:64]))


# --- The runs ---------------------------------------------------------------

def run_editing(build, work):
    """Mouse, keys and menu on the real windows; the script follows live."""
    output = os.path.join(work, "editing.txt")
    saved = os.path.join(work, "editing.block")
    preview = Preview(build, os.path.join(work, "editing.log"),
                      "--output", wine_path(output), "--save-on-exit", wine_path(saved))
    try:
        preview.wait_for_windows()
        plugin = preview.plugin
        expect_title(plugin, 1)
        frame = expect_frame(output, 0, DIAGONAL, what="the first frame reads the diagonal")
        xdotool("windowfocus", "--sync", plugin)

        # Ctrl-click on empty space inserts a point where it was clicked.
        xdotool("mousemove", *preview.at(200, 100), "keydown", "ctrl", "click", 1, "keyup", "ctrl")
        frame = expect_frame(output, 0, [(0, 255), (200, 100), (511, 0)], frame,
                             "Ctrl-click at (200, 100) inserts a point")

        # Press on it, drag inside the editor...
        xdotool("mousemove", *preview.at(200, 100), "mousedown", 1)
        xdotool("mousemove", *preview.at(300, 50))
        frame = expect_frame(output, 0, [(0, 255), (300, 50), (511, 0)], frame,
                             "dragging the point to (300, 50)")
        # ...out of the window, up and left between the host's windows: the
        # editor keeps the mouse, and the model clamps the point...
        xdotool("mousemove", *preview.at(-40, -60))
        frame = expect_frame(output, 0, [(0, 255), (1, 0), (511, 0)], frame,
                             "dragging outside, left of and above the editor")
        xdotool("mousemove", *preview.at(700, 64))
        frame = expect_frame(output, 0, [(0, 255), (510, 64), (511, 0)], frame,
                             "dragging outside, right of the editor")
        # ...and the release out there ends the drag: moving back in with the
        # button up moves nothing (checked when graph 1 is shown again).
        xdotool("mouseup", 1)
        xdotool("mousemove", *preview.at(100, 200))

        # Right arrow: graph 2, in the title and in what the script reads.
        xdotool("key", "Right")
        expect_title(plugin, 2)
        frame = expect_frame(output, 1, DIAGONAL, frame, "Right arrow shows graph 2")
        xdotool("mousemove", *preview.at(100, 30), "keydown", "ctrl", "click", 1, "keyup", "ctrl")
        frame = expect_frame(output, 1, [(0, 255), (100, 30), (511, 0)], frame,
                             "Ctrl-click on graph 2 inserts a point")
        # Delete resets the shown graph.
        xdotool("key", "Delete")
        frame = expect_frame(output, 1, DIAGONAL, frame, "Delete resets graph 2")

        # The help menu's "previous graph" item, chosen with the keyboard:
        # F10 selects the menu bar, Down opens the menu on its first item,
        # and two more steps (past the separator) reach the fourth item.
        xdotool("key", "F10", "Down", "Down", "Down", "Return")
        expect_title(plugin, 1)
        frame = expect_frame(output, 0, [(0, 255), (510, 64), (511, 0)], frame,
                             "the menu's previous-graph item shows graph 1, as the drag left it")
        # Left arrow on graph 1 stays there, and still repaints.
        xdotool("key", "Left")
        frame = expect_frame(output, 0, [(0, 255), (510, 64), (511, 0)], frame,
                             "Left arrow on graph 1 keeps graph 1")
        expect_title(plugin, 1)

        # Alt+F4 closes the program, which saves the block on its way out.
        xdotool("windowfocus", "--sync", plugin, "key", "alt+F4")
        status = preview.wait_for_exit()
        if status != 0:
            raise Failure("the program ended with status %d" % status)
    finally:
        preview.stop()
    # Graph 2 was reset after the insertion: its third slot keeps the point
    # that the insertion moved up, as the model keeps stale slots.
    expect_file(saved, block({0: ([(0, 255), (510, 64), (511, 0)], 3),
                              1: ([(0, 255), (511, 0), (511, 0)], 2)}),
                "the block saved on exit")
    return saved


def run_reopen(build, work, saved):
    """The saved block in a new process: read on the first frame."""
    output = os.path.join(work, "reopen.txt")
    again = os.path.join(work, "reopen.block")
    preview = Preview(build, os.path.join(work, "reopen.log"), "--exit-when-idle",
                      "--open", wine_path(saved), "--save-on-exit", wine_path(again),
                      "--output", wine_path(output))
    try:
        status = preview.wait_for_exit(START_LIMIT)
    finally:
        preview.stop()
    if status != 0:
        raise Failure("the program ended with status %d" % status)
    expect_frame(output, 0, [(0, 255), (510, 64), (511, 0)], what="the opened block, read by the script")
    with open(saved, "rb") as file:
        expect_file(again, file.read(), "the block saved again")


def run_readme_example(build, work):
    """The README's example, as the README shows it, reads what it says."""
    example = os.path.join(ROOT, "examples", "getvalue.lua")
    with open(example, encoding="utf-8") as file:
        text = file.read()
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as file:
        if "```lua\n" + text + "```" not in file.read():
            raise Failure("README.md does not show examples/getvalue.lua as it is")
    output = os.path.join(work, "example.txt")
    preview = Preview(build, os.path.join(work, "example.log"), "--exit-when-idle",
                      "--script", wine_path(example), "--output", wine_path(output))
    try:
        status = preview.wait_for_exit(START_LIMIT)
    finally:
        preview.stop()
    seen = read_output(output)
    promised = [0, 63 / 255, 127 / 255, 191 / 255, 1]
    if status != 0 or seen["values"] != promised or seen["error"] is not None:
        raise Failure("the example read %s (error %s, status %d); the README promises %s" % (
            seen["values"], seen["error"], status, promised))


def main():
    build, work = sys.argv[1], sys.argv[2]
    saved = []  # the block the editing run saved, for the next run

    def reopen():
        if not saved:
            raise Failure("no block to open: the editing run saved none")
        run_reopen(build, work, saved[0])

    cases = [
        ("editing with real mouse, keys and menu", lambda: saved.append(run_editing(build, work))),
        ("the saved block opened again", reopen),
        ("the README's example script", lambda: run_readme_example(build, work)),
    ]
    failed = 0
    for name, case in cases:
        try:
            case()
            print("ok:   %s" % name)
        except (Failure, subprocess.CalledProcessError) as failure:
            failed += 1
            print("FAIL: %s\n      %s" % (name, str(failure).replace("\n", "\n      ")))
    print("preview: %d passed, %d failed" % (len(cases) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
