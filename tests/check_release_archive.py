#!/usr/bin/python3
"""Checks of the release archive as a user receives it: its name and
version, its files, their SHA-256 list, and texts that Windows' Notepad reads
right on every version (UTF-8 with a byte order mark where they hold
Japanese, CRLF line ends and no lone LF or CR). The plug-in file inside has
checks of its own (check_shipped_file.py, which reads it from the archive).

Usage: check_release_archive.py ARCHIVE
Prints one line per check and 'N passed, N failed'; exits 1 on any failure.
"""
import hashlib
import os
import sys
import zipfile

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
NAMES = [
    "rivo_grapheditor.auf",
    "rivo_grapheditor_readme.txt",
    "rivo_grapheditor_getvalue.lua",
    "rivo_grapheditor_license.txt",
    "rivo_grapheditor_sha256.txt",
]
BOM = b"\xef\xbb\xbf"


def source(name):
    with open(os.path.join(SOURCE, name), "rb") as file:
        return file.read()


def line_ends_are_crlf(data):
    """Every line ends in CRLF, the last one too; no lone LF or CR."""
    return (data.endswith(b"\r\n") and data.count(b"\n") == data.count(b"\r\n")
            and data.count(b"\r") == data.count(b"\r\n"))


def main(argv):
    path = argv[1]
    version = source("VERSION").decode("ascii").strip()
    results = []

    def check(what, ok, detail=""):
        results.append(ok)
        print("%s: %s%s" % ("ok" if ok else "FAIL", what, "" if ok else " (%s)" % detail))

    check("named rivo_grapheditor-%s.zip after VERSION" % version,
          os.path.basename(path) == "rivo_grapheditor-%s.zip" % version, os.path.basename(path))
    archive = zipfile.ZipFile(path)
    entries = archive.infolist()
    check("holds exactly the five files, at its top, in order",
          [entry.filename for entry in entries] == NAMES, [entry.filename for entry in entries])
    files = {entry.filename: archive.read(entry) for entry in entries}
    check("every entry has one time and no Unix mode bits",
          len({entry.date_time for entry in entries}) == 1
          and all(entry.create_system == 0 and entry.external_attr == 0x20 for entry in entries),
          [(entry.date_time, entry.create_system, entry.external_attr) for entry in entries])

    sums = files.get("rivo_grapheditor_sha256.txt", b"")
    check("SHA-256 list: CRLF line ends", line_ends_are_crlf(sums), sums[:80])
    listed = [line.split("  ", 1) for line in sums.decode("ascii", "replace").splitlines()]
    want = [[hashlib.sha256(files[name]).hexdigest(), name] for name in NAMES[:-1] if name in files]
    check("SHA-256 list: every other file with its hash, in order", listed == want, listed)

    readme = files.get("rivo_grapheditor_readme.txt", b"")
    check("read-me: UTF-8 with a byte order mark", readme.startswith(BOM), readme[:8])
    check("read-me: CRLF line ends, no lone LF or CR", line_ends_are_crlf(readme),
          "%d LF, %d CRLF" % (readme.count(b"\n"), readme.count(b"\r\n")))
    text = readme[len(BOM):].decode("utf-8", "replace")
    check("read-me: valid UTF-8", "\ufffd" not in text)
    check("read-me: the version in its first line, in both languages",
          text.split("\r\n", 1)[0] == "Rivoグラフエディタ %s / Rivo graph editor %s" % (version, version),
          text.split("\r\n", 1)[0])
    check("read-me: no template placeholder left", "@VERSION@" not in text and "@EXAMPLE@" not in text)
    example = source("examples/getvalue.lua").decode("ascii")
    indented = "\r\n".join(("    " + line).rstrip() for line in example.rstrip("\n").split("\n"))
    check("read-me: the example script, twice (Japanese and English)", text.count(indented) == 2)
    topics = ["インストール", "操作方法", "getvalue(index, t)", "8448", "Lua 5.1.5",
              "LuaJIT 2.1.0-beta3", "MIT", "Installing", "Controls", "Licence"]
    missing = [topic for topic in topics if topic not in text]
    check("read-me: installing, controls, getvalue, the block, the runtimes tested, the licence",
          not missing, "missing: %s" % missing)

    script = files.get("rivo_grapheditor_getvalue.lua", b"")
    check("example: the repository's example with CRLF line ends",
          script == example.replace("\n", "\r\n").encode("ascii"))
    licence = files.get("rivo_grapheditor_license.txt", b"")
    check("licence: CRLF line ends, no lone LF or CR", line_ends_are_crlf(licence))
    check("licence: MIT, in the project's name",
          licence.startswith(b"MIT License\r\n")
          and b"Copyright (c) 2026 the Rivo graph editor authors\r\n" in licence
          and licence == source("LICENSE").replace(b"\n", b"\r\n"))

    failed = results.count(False)
    print("%d passed, %d failed" % (len(results) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
